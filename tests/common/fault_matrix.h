// Every export that calls the reader library, failed at each reader call of
// its complete run in turn. One table and one runner: the host suite runs it
// against the fake reader, the Windows suite against the reader simulator.
//
// At each fault point the runner checks the result, the reader calls that
// follow the failure and every byte of every output buffer (sentinel and
// guard bytes included). A one-shot export's failure in the middle is run
// twice: once with close and dispose succeeding, once with both failing too.
#pragma once

#include <gtest/gtest.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "out_buffer.h"

namespace faults {

// What an export writes, and in which order.
enum class Shape {
    kNothing,          // no outputs
    kIds,              // the IDm and the PMm after the polling
    kExchange,         // blocks emptied first; the IDm after the polling; the blocks after the exchange
    kConnectedRecord,  // terminators at 0 and 32 first; the IDm; the block after its read
    kOneShotRecord,    // the IDm after the polling; the block after its read
    kHistory,          // blocks emptied first; the IDm; each block appended after its read
};

struct Export {
    const char* name;
    bool connected;     // the reader is opened (FelicaRWOpen) before the call
    bool one_shot;      // the export opens and closes the reader itself
    std::string calls;  // its reader calls on the way to success, one letter a call:
                        // I initialize, O open, P poll, R read block, S read service,
                        // C close, D dispose, E last error
    int32_t success;    // its result on that way
    Shape shape;
    size_t idm_size, pmm_size, block_size;  // 0: no such output
};

inline const std::vector<Export>& Exports() {
    const std::string r20(20, 'R');
    static const std::vector<Export> exports = {
        {"FelicaRWOpen", false, false, "IO", 1, Shape::kNothing, 0, 0, 0},
        {"FelicaRWClose", true, false, "CD", 1, Shape::kNothing, 0, 0, 0},
        // A fresh reader has no error to report; the result of the call that
        // asks for the error types is not a failure of this export.
        {"FelicaGetLastError", false, false, "E", 0, Shape::kNothing, 0, 0, 0},
        {"FelicaIDm", true, false, "P", 1, Shape::kIds, 17, 17, 0},
        {"FelicaSuicaBalance", true, false, "PS", 1, Shape::kExchange, 17, 0, 33},
        {"FelicaSuicaKaisatsu", true, false, "PS", 1, Shape::kExchange, 17, 0, 97},
        {"FelicaSuicaRecordAll", true, false, "PS", 670, Shape::kExchange, 17, 0, 641},
        {"FelicaSuicaRecord", true, false, "PR", 1, Shape::kConnectedRecord, 17, 0, 33},
        {"FelicaSuicaRecordAll_01", true, false, "P" + r20, 1, Shape::kHistory, 17, 0, 641},
        {"GetFelicaIDm", false, true, "IOPCD", 1, Shape::kIds, 17, 17, 0},
        {"GetSuicaRecord", false, true, "IOPRCD", 1, Shape::kOneShotRecord, 17, 0, 33},
        {"GetSuicaRecordAll", false, true, "IOP" + r20 + "CD", 1, Shape::kHistory, 17, 0, 641},
    };
    return exports;
}

// The block number the record exports are called with.
constexpr int32_t kBlock = 7;

inline bool InTheMiddle(char call) { return call == 'P' || call == 'R' || call == 'S'; }

// One reader call made to fail.
struct Point {
    const Export* e;
    size_t index;  // of the failing call in e->calls
    int nth;       // the failing call is the nth (from 0) of its kind
    bool release_fails_too;

    char call() const { return e->calls[index]; }
    std::string before() const { return e->calls.substr(0, index); }

    std::string Name() const {
        return std::string(e->name) + ", call " + std::to_string(index) + " " + call() + " fails" +
               (release_fails_too ? ", and close and dispose fail too" : "");
    }

    int32_t Result() const {
        switch (call()) {
            case 'I': return -10;
            case 'O': return -11;
            case 'P': return -12;
            case 'C': return -13;
            case 'D': return -14;
            case 'R':
            case 'S': return -15;
            default: return e->success;  // E
        }
    }

    // A failure in the middle of a one-shot export is followed by close and
    // dispose, whatever they return; any other failure ends the calls.
    std::string Calls() const {
        return e->calls.substr(0, index + 1) + (e->one_shot && InTheMiddle(call()) ? "CD" : "");
    }
};

inline std::vector<Point> Points() {
    std::vector<Point> points;
    for (const Export& e : Exports()) {
        for (size_t k = 0; k < e.calls.size(); ++k) {
            int nth = 0;
            for (size_t j = 0; j < k; ++j) nth += e.calls[j] == e.calls[k];
            points.push_back({&e, k, nth, false});
            if (e.one_shot && InTheMiddle(e.calls[k])) points.push_back({&e, k, nth, true});
        }
    }
    return points;
}

// The texts a complete run of an export gives.
struct Texts {
    std::string idm, pmm, block;
};

struct Outputs {
    OutBuffer idm, pmm, block;
    explicit Outputs(const Export& e) : idm(e.idm_size), pmm(e.pmm_size), block(e.block_size) {}
};

// What each output holds after the failure: what the steps before it wrote.
inline void ExpectOutputs(const Point& p, const Texts& complete, const Outputs& out) {
    const std::string before = p.before();
    const bool polled = before.find('P') != std::string::npos;
    size_t reads = 0;
    for (char c : before) reads += c == 'R' || c == 'S';
    const bool all_read = reads == (p.e->shape == Shape::kHistory ? 20u : 1u);

    if (p.e->idm_size) {
        EXPECT_TRUE(polled ? out.idm.Holds(complete.idm) : out.idm.Untouched()) << "IDm";
    }
    if (p.e->pmm_size) {
        EXPECT_TRUE(polled ? out.pmm.Holds(complete.pmm) : out.pmm.Untouched()) << "PMm";
    }
    switch (p.e->shape) {
        case Shape::kNothing:
        case Shape::kIds:
            break;
        case Shape::kExchange:
            EXPECT_TRUE(out.block.Holds(all_read ? complete.block : "")) << "blocks";
            break;
        case Shape::kConnectedRecord:
            EXPECT_TRUE(all_read ? out.block.Holds(complete.block) : out.block.EmptyWithTerminatorAt(32))
                << "block";
            break;
        case Shape::kOneShotRecord:
            EXPECT_TRUE(all_read ? out.block.Holds(complete.block) : out.block.Untouched()) << "block";
            break;
        case Shape::kHistory:
            EXPECT_TRUE(out.block.Holds(complete.block.substr(0, 32 * reads))) << "blocks";
            break;
    }
}

// Runs every fault point against a suite, which provides:
//   void Prepare(const Export&)   a fresh reader with the card, opened for a connected export
//   void Fail(char call, int nth) the nth call of that kind fails (returns 0)
//   int32_t Call(const Export&, Outputs&)
//   std::string Calls()           the reader calls the export made
//   Texts Complete(const Export&) the texts of a complete run of the card
// Returns the number of fault points covered.
template <typename Suite>
int Run(Suite& suite) {
    // The table's own ways to success first: every fault point depends on them.
    for (const Export& e : Exports()) {
        SCOPED_TRACE(std::string(e.name) + ", complete run");
        suite.Prepare(e);
        Outputs out(e);
        EXPECT_EQ(suite.Call(e, out), e.success);
        EXPECT_EQ(suite.Calls(), e.calls);
        const Texts complete = suite.Complete(e);
        if (e.idm_size) {
            EXPECT_TRUE(out.idm.Holds(complete.idm)) << "IDm";
        }
        if (e.pmm_size) {
            EXPECT_TRUE(out.pmm.Holds(complete.pmm)) << "PMm";
        }
        if (e.block_size) {
            EXPECT_TRUE(out.block.Holds(complete.block)) << "blocks";
        }
    }

    int covered = 0;
    for (const Point& p : Points()) {
        SCOPED_TRACE(p.Name());
        suite.Prepare(*p.e);
        suite.Fail(p.call(), p.nth);
        if (p.release_fails_too) {
            suite.Fail('C', 0);
            suite.Fail('D', 0);
        }
        Outputs out(*p.e);
        EXPECT_EQ(suite.Call(*p.e, out), p.Result());
        EXPECT_EQ(suite.Calls(), p.Calls());
        ExpectOutputs(p, suite.Complete(*p.e), out);
        ++covered;
    }
    return covered;
}

}  // namespace faults
