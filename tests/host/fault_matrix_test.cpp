// The fault matrix against the fake reader: every export failed at each
// reader call of its complete run.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "fault_matrix.h"
#include "reading_exports.h"

namespace {

class HostSuite {
public:
    void Prepare(const faults::Export&) {
        reader_.reset();
        reader_ = std::make_unique<FakeReader>();
    }

    void Fail(char call, int nth) { reader_->Answer(Ops(std::string(1, call)).at(0), nth, 0); }

    int32_t Call(const faults::Export& e, faults::Outputs& out) {
        const std::string name = e.name;
        if (name == "FelicaRWOpen") return FelicaRWOpen();
        if (name == "FelicaRWClose") return FelicaRWClose();
        if (name == "FelicaGetLastError") return FelicaGetLastError();
        for (const ReadingExport& r : ReadingExports()) {
            if (r.name != name) continue;
            EXPECT_EQ(r.block_size, e.block_size);
            EXPECT_EQ(r.pmm_size, e.pmm_size);
            return r.call(out.idm.data(), r.pmm_size ? out.pmm.data() : nullptr,
                          r.block_size ? out.block.data() : nullptr);
        }
        ADD_FAILURE() << "no export " << name;
        return 0;
    }

    std::string Calls() const {
        std::string letters;
        for (Op op : reader_->ops()) letters += OpLetter(op);
        return letters;
    }

    faults::Texts Complete(const faults::Export& e) const {
        return {IdmText(reader_->card), PmmText(reader_->card), BlockText(e.name, reader_->card)};
    }

private:
    std::unique_ptr<FakeReader> reader_;
};

TEST(FaultMatrix, EveryExportFailedAtEachReaderCall) {
    static_assert(faults::kBlock == kRecordBlock, "one block number for both tables");
    HostSuite suite;
    const int covered = faults::Run(suite);
    std::printf("fault points covered: %d\n", covered);
}

}  // namespace
