// libFuzzer target: the module's thirteen exported functions and the two
// members of CPelkart, called with inputs the fuzzer chooses, against the
// reader library of fuzz_reader.cpp, which answers from the same input.
//
// After every call a model of the export is replayed over the reader
// library's log. From the calls the library saw and their results alone it
// derives the calls that had to follow, the result the export must return
// and every byte each output buffer must hold; the target then compares.
// Any difference, and any write outside an output (AddressSanitizer), ends
// the run with a message naming the export and the broken rule.
//
// Input, front to back (fallbacks in brackets once it runs out; Input and
// fuzz_reader.h say more), for each export call:
//   which export, 1 byte, modulo 15 (the order of kExports) [0]
//   null outputs, 1 byte: bit 0 idmText, bit 1 pmmText, bit 2 blockText [0]
//   blockNumber, 4 bytes, for FelicaSuicaRecord and GetSuicaRecord only [0]
//   then what each reader call takes, in the order the export makes them.
// While input is left, another export call follows, up to kCallsPerInput.
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "exports/pelkart.h"
#include "fuzz_reader.h"

namespace {

constexpr int kCallsPerInput = 8;
constexpr char kSentinel = '\xA5';
constexpr size_t kIdTextSize = 17;

// Hex text as "%02X" writes each byte (snprintf itself would cost the
// fuzzer a fifth of its speed).
std::string Hex(const uint8_t* bytes, size_t count) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text(2 * count, '?');
    for (size_t i = 0; i < count; ++i) {
        text[2 * i] = kDigits[bytes[i] / 16];
        text[2 * i + 1] = kDigits[bytes[i] % 16];
    }
    return text;
}

// What a model expects of a call, in the reader library's terms.
bool Succeeds(const Call& call) { return (static_cast<uint32_t>(call.result) & 0xFFu) != 0; }

// ---------------------------------------------------------------------------
// The exports, as rows of one table.

enum class Kind {
    Plain,      // no reader call; returns 1
    Open,       // FelicaRWOpen
    Close,      // FelicaRWClose
    LastError,  // FelicaGetLastError
    Read,       // the nine reading exports
};

enum class Work { None, Ids, OneBlock, History, Exchange };

struct Export {
    const char* name;
    Kind kind;
    bool one_shot;
    Work work;           // after the polling
    size_t idm_size;     // 17, or 0 where the export has no such output
    size_t pmm_size;     // 17, or 0
    size_t block_size;   // 33, 97, 641 or 0
    bool takes_block_number;
    int terminators_first[2];  // blockText indexes terminated before anything else; -1 none
    uint8_t service_code[2];   // exchange: the service, low byte first
    uint8_t blocks;            // exchange: the blocks asked for
    int32_t success;
    int32_t (*call)(char* idm, char* pmm, char* block, int32_t block_number);
};

const Export kExports[] = {
    {"DLLVersion", Kind::Plain, false, Work::None, 0, 0, 0, false, {-1, -1}, {}, 0, 1,
     [](char*, char*, char*, int32_t) { return DLLVersion(); }},
    {"FelicaRWOpen", Kind::Open, false, Work::None, 0, 0, 0, false, {-1, -1}, {}, 0, 1,
     [](char*, char*, char*, int32_t) { return FelicaRWOpen(); }},
    {"FelicaRWClose", Kind::Close, false, Work::None, 0, 0, 0, false, {-1, -1}, {}, 0, 1,
     [](char*, char*, char*, int32_t) { return FelicaRWClose(); }},
    {"FelicaGetLastError", Kind::LastError, false, Work::None, 0, 0, 0, false, {-1, -1}, {}, 0, 0,
     [](char*, char*, char*, int32_t) { return FelicaGetLastError(); }},
    {"FelicaIDm", Kind::Read, false, Work::Ids, kIdTextSize, kIdTextSize, 0, false, {-1, -1}, {},
     0, 1, [](char* i, char* p, char*, int32_t) { return FelicaIDm(i, p); }},
    {"FelicaSuicaBalance", Kind::Read, false, Work::Exchange, kIdTextSize, 0, 33, false, {0, -1},
     {0x8B, 0x00}, 1, 1, [](char* i, char*, char* b, int32_t) { return FelicaSuicaBalance(b, i); }},
    {"FelicaSuicaKaisatsu", Kind::Read, false, Work::Exchange, kIdTextSize, 0, 97, false, {0, -1},
     {0x8F, 0x10}, 3, 1, [](char* i, char*, char* b, int32_t) { return FelicaSuicaKaisatsu(b, i); }},
    {"FelicaSuicaRecord", Kind::Read, false, Work::OneBlock, kIdTextSize, 0, 33, true, {0, 32}, {}, 0,
     1, [](char* i, char*, char* b, int32_t n) { return FelicaSuicaRecord(b, n, i); }},
    {"FelicaSuicaRecordAll", Kind::Read, false, Work::Exchange, kIdTextSize, 0, 641, false, {0, -1},
     {0x0F, 0x09}, 20, 670,
     [](char* i, char*, char* b, int32_t) { return FelicaSuicaRecordAll(i, b); }},
    {"FelicaSuicaRecordAll_01", Kind::Read, false, Work::History, kIdTextSize, 0, 641, false,
     {0, -1}, {}, 0, 1,
     [](char* i, char*, char* b, int32_t) { return FelicaSuicaRecordAll_01(i, b); }},
    {"GetFelicaIDm", Kind::Read, true, Work::Ids, kIdTextSize, kIdTextSize, 0, false, {-1, -1}, {},
     0, 1, [](char* i, char* p, char*, int32_t) { return GetFelicaIDm(i, p); }},
    {"GetSuicaRecord", Kind::Read, true, Work::OneBlock, kIdTextSize, 0, 33, true, {-1, -1}, {}, 0, 1,
     [](char* i, char*, char* b, int32_t n) { return GetSuicaRecord(b, n, i); }},
    {"GetSuicaRecordAll", Kind::Read, true, Work::History, kIdTextSize, 0, 641, false, {0, -1}, {},
     0, 1, [](char* i, char*, char* b, int32_t) { return GetSuicaRecordAll(i, b); }},
    {"CPelkart::CPelkart", Kind::Plain, false, Work::None, 0, 0, 0, false, {-1, -1}, {}, 0, 1,
     [](char*, char*, char*, int32_t) {
         CPelkart object;
         (void)object;
         return 1;
     }},
    // 1 when the assignment yields the object assigned to.
    {"CPelkart::operator=", Kind::Plain, false, Work::None, 0, 0, 0, false, {-1, -1}, {}, 0, 1,
     [](char*, char*, char*, int32_t) {
         CPelkart left;
         const CPelkart right;
         return &(left = right) == &left ? 1 : 0;
     }},
};
constexpr size_t kExportCount = sizeof kExports / sizeof kExports[0];

// ---------------------------------------------------------------------------
// What the target is doing, for the report of a violation.

struct Context {
    const Export* current = nullptr;
    int32_t block_number = 0;
    bool nulls[3] = {};
    int call_in_input = 0;
} context;

std::string Printable(const char* bytes, size_t size) {
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        const char c = bytes[i];
        if (c == '\0') text += '|';
        else if (c == kSentinel) text += '.';
        else if (c >= 0x20 && c < 0x7F) text += c;
        else text += '?';
    }
    return text;
}

}  // namespace

void Violation(const char* format, ...) {
    fprintf(stderr, "\n==== pelkart_fuzz: invariant broken ====\n");
    if (context.current != nullptr) {
        fprintf(stderr, "export: %s", context.current->name);
        if (context.current->takes_block_number)
            fprintf(stderr, ", blockNumber %d", static_cast<int>(context.block_number));
        fprintf(stderr, " (call %d of this input; null outputs: idm %d, pmm %d, block %d)\n",
                context.call_in_input + 1, context.nulls[0], context.nulls[1], context.nulls[2]);
    }
    va_list args;
    va_start(args, format);
    vfprintf(stderr, format, args);
    va_end(args);
    fprintf(stderr, "\nreader calls made:");
    for (const Call& call : fuzz_reader::Calls())
        fprintf(stderr, "\n  %s -> 0x%08X", OpName(call.op), static_cast<uint32_t>(call.result));
    fprintf(stderr, "\n(. is an untouched sentinel byte, | a NUL)\n");
    abort();
}

namespace {

// ---------------------------------------------------------------------------
// The caller's output buffers.

// One output: exactly its documented size, on the heap so that
// AddressSanitizer reports any write past its end, filled with a sentinel;
// and the bytes it must hold after the call, which the model writes.
class Output {
public:
    Output(const char* name, size_t size, bool null)
        : name_(name), size_(size), null_(null || size == 0),
          bytes_(size ? new char[size] : nullptr), expected_(size, kSentinel) {
        if (size_) memset(bytes_.get(), kSentinel, size_);
    }

    char* argument() { return null_ ? nullptr : bytes_.get(); }

    // text, then the terminator, from index on.
    void ExpectText(size_t index, const std::string& text) {
        Expect(index, text);
        Expect(index + text.size(), std::string(1, '\0'));
    }
    void ExpectTerminator(size_t index) { Expect(index, std::string(1, '\0')); }

    void Check() const {
        if (null_) return;
        for (size_t i = 0; i < size_; ++i) {
            if (bytes_[i] == expected_[i]) continue;
            Violation("%s: byte %zu is 0x%02X, expected 0x%02X\n  holds    \"%s\"\n  expected \"%s\"",
                      name_, i, static_cast<uint8_t>(bytes_[i]), static_cast<uint8_t>(expected_[i]),
                      Printable(bytes_.get(), size_).c_str(),
                      Printable(expected_.data(), size_).c_str());
        }
    }

private:
    void Expect(size_t index, const std::string& bytes) {
        if (size_ == 0) Violation("model: the export has no %s", name_);
        if (index + bytes.size() > size_)
            Violation("model: %s of %zu bytes written at %zu", name_, bytes.size(), index);
        if (null_) return;
        memcpy(&expected_[index], bytes.data(), bytes.size());
    }

    const char* name_;
    size_t size_;
    bool null_;
    std::unique_ptr<char[]> bytes_;
    std::vector<char> expected_;
};

struct Outputs {
    Output idm;
    Output pmm;
    Output block;
};

// ---------------------------------------------------------------------------
// The model: a walk over the reader library's log.

class Replay {
public:
    explicit Replay(const std::vector<Call>& log) : log_(log) {}

    // The next call the export made, which must be op.
    const Call& Next(Op op) {
        if (next_ >= log_.size())
            Violation("reader call %zu should be %s, but the export made no further call", next_ + 1,
                      OpName(op));
        const Call& call = log_[next_];
        if (call.op != op)
            Violation("reader call %zu is %s, expected %s", next_ + 1, OpName(call.op), OpName(op));
        ++next_;
        return call;
    }

    void End() const {
        if (next_ < log_.size())
            Violation("reader call %zu (%s) should not have been made", next_ + 1,
                      OpName(log_[next_].op));
    }

private:
    const std::vector<Call>& log_;
    size_t next_ = 0;
};

void Require(bool holds, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Require(bool holds, const char* format, ...) {
    if (holds) return;
    char message[256];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    Violation("%s", message);
}

void RequireBytes(const uint8_t* actual, const uint8_t* expected, size_t count, const char* what) {
    Require(memcmp(actual, expected, count) == 0, "%s: %s, expected %s", what,
            Hex(actual, count).c_str(), Hex(expected, count).c_str());
}

std::string HexOf(const std::vector<uint8_t>& bytes) { return Hex(bytes.data(), bytes.size()); }

const uint8_t kWildcard[2] = {0xFF, 0xFF};

void CheckPolling(const Call& poll) {
    RequireBytes(poll.system_code, kWildcard, 2, "polling system code");
    Require(poll.time_slot == 0, "polling time slot %u, expected 0", poll.time_slot);
    Require(poll.number_of_cards_before == 0, "number_of_cards %u before the polling, expected 0",
            poll.number_of_cards_before);
    Require(poll.idm_buffer != poll.pmm_buffer, "polling given one buffer for IDm and PMm");
}

// What every read of the card shares: the IDm of this call's polling, one
// service, cleared status flags.
void CheckRead(const Call& read, const Call& poll, const uint8_t* service_code,
               uint8_t number_of_blocks) {
    const char* name = OpName(read.op);
    Require(read.card_idm_pointer == poll.idm_buffer, "%s: card_idm is not the polling's IDm buffer",
            name);
    RequireBytes(read.card_idm, poll.idm, 8, "IDm the read addresses");
    Require(read.number_of_services == 1, "%s: number_of_services %u, expected 1", name,
            read.number_of_services);
    RequireBytes(read.service_code, service_code, 2, "service code");
    Require(read.number_of_blocks == number_of_blocks, "%s: number_of_blocks %u, expected %u", name,
            read.number_of_blocks, number_of_blocks);
    Require(read.status_before[0] == 0 && read.status_before[1] == 0,
            "%s: status flags %02X %02X before the call, expected 00 00", name,
            read.status_before[0], read.status_before[1]);
}

const uint8_t kHistoryServiceCode[2] = {0x0F, 0x09};

void CheckHistoryRead(const Call& read, const Call& poll, int32_t block_number) {
    CheckRead(read, poll, kHistoryServiceCode, 1);
    Require(read.has_block_list, "history read without block list");
    const uint8_t element[2] = {0x80, static_cast<uint8_t>(block_number)};
    RequireBytes(read.block_list_element, element, 2, "block list element");
    Require(read.status_before[2] == 0, "history read: block count %02X before the call, expected 00",
            read.status_before[2]);
}

void CheckExchange(const Call& exchange, const Call& poll, const Export& e) {
    Require(exchange.polling_request == poll.polling_request &&
                exchange.card_information == poll.card_information,
            "exchange not handed the polling's own polling_request and card_information");
    RequireBytes(exchange.system_code, kWildcard, 2, "exchange system code");
    Require(exchange.time_slot == 0, "exchange time slot %u, expected 0", exchange.time_slot);
    CheckRead(exchange, poll, e.service_code, e.blocks);
}

// initialize_library, then open_reader_writer_auto; never a dispose after a
// failed open.
int32_t ModelOpen(Replay& replay) {
    if (!Succeeds(replay.Next(Op::Initialize))) return -10;
    if (!Succeeds(replay.Next(Op::Open))) return -11;
    return 1;
}

// close_reader_writer, then dispose_library; never a dispose after a failed
// close.
int32_t ModelClose(Replay& replay) {
    if (!Succeeds(replay.Next(Op::Close))) return -13;
    if (!Succeeds(replay.Next(Op::Dispose))) return -14;
    return 1;
}

// 1000 * first + second, a negative or unwritten type counting as 0, at most
// the largest 32-bit value.
int32_t ModelLastError(Replay& replay) {
    const Call& call = replay.Next(Op::LastError);
    const int64_t first = call.first_written && call.first_error_type > 0 ? call.first_error_type : 0;
    const int64_t second =
        call.second_written && call.second_error_type > 0 ? call.second_error_type : 0;
    const int64_t composite = 1000 * first + second;
    return composite > 2147483647 ? 2147483647 : static_cast<int32_t>(composite);
}

// The polling and what follows it; 1 or the export's own success code, or
// the code of the failing step.
int32_t ModelWork(const Export& e, Replay& replay, Outputs& out, int32_t block_number) {
    const Call& poll = replay.Next(Op::Poll);
    CheckPolling(poll);
    if (!Succeeds(poll)) return -12;
    out.idm.ExpectText(0, Hex(poll.idm, 8));
    if (e.pmm_size) out.pmm.ExpectText(0, Hex(poll.pmm, 8));
    switch (e.work) {
        case Work::None:
        case Work::Ids:
            break;
        case Work::OneBlock: {
            const Call& read = replay.Next(Op::ReadBlock);
            CheckHistoryRead(read, poll, block_number);
            if (!Succeeds(read)) return -15;
            out.block.ExpectText(0, HexOf(read.area));
            break;
        }
        case Work::History:
            for (int32_t n = 0; n < 20; ++n) {
                const Call& read = replay.Next(Op::ReadBlock);
                CheckHistoryRead(read, poll, n);
                if (!Succeeds(read)) return -15;
                out.block.ExpectText(32 * static_cast<size_t>(n), HexOf(read.area));
            }
            break;
        case Work::Exchange: {
            const Call& exchange = replay.Next(Op::ReadService);
            CheckExchange(exchange, poll, e);
            if (!Succeeds(exchange)) return -15;
            out.block.ExpectText(0, HexOf(exchange.area));
            break;
        }
    }
    return e.success;
}

int32_t Model(const Export& e, Replay& replay, Outputs& out, int32_t block_number) {
    switch (e.kind) {
        case Kind::Plain: return 1;
        case Kind::Open: return ModelOpen(replay);
        case Kind::Close: return ModelClose(replay);
        case Kind::LastError: return ModelLastError(replay);
        case Kind::Read: break;
    }
    for (int index : e.terminators_first)
        if (index >= 0) out.block.ExpectTerminator(static_cast<size_t>(index));
    if (e.takes_block_number && (block_number < 0 || block_number > 19)) return -9;
    if (!e.one_shot) return ModelWork(e, replay, out, block_number);

    const int32_t opened = ModelOpen(replay);
    if (opened != 1) return opened;
    const int32_t worked = ModelWork(e, replay, out, block_number);
    if (worked != 1) {
        // A failure in the middle: close and dispose, whatever they return.
        replay.Next(Op::Close);
        replay.Next(Op::Dispose);
        return worked;
    }
    return ModelClose(replay);
}

// Leaves a pattern on the stack where the export's frame is about to lie,
// so that a receive area, ID buffer or error type the module forgets to
// clear shows up as bytes the reader library never wrote. 5A: nonzero in
// every byte, and positive as a 32-bit error type.
__attribute__((noinline)) void ScribbleStack() {
    char area[8192];
    memset(area, 0x5A, sizeof area);
    __asm__ volatile("" : : "r"(area) : "memory");
}

void CallOneExport(Input& in, int call_in_input) {
    const Export& e = kExports[in.Byte(0) % kExportCount];
    const uint8_t nulls = in.Byte(0);
    const int32_t block_number = e.takes_block_number ? in.I32(0) : 0;
    context.current = &e;
    context.block_number = block_number;
    context.call_in_input = call_in_input;
    for (int i = 0; i < 3; ++i) context.nulls[i] = (nulls >> i) & 1;

    Outputs out{Output("idmText", e.idm_size, nulls & 1), Output("pmmText", e.pmm_size, nulls & 2),
                Output("blockText", e.block_size, nulls & 4)};
    fuzz_reader::Begin(in);
    ScribbleStack();
    const int32_t result =
        e.call(out.idm.argument(), out.pmm.argument(), out.block.argument(), block_number);

    Replay replay(fuzz_reader::Calls());
    const int32_t expected = Model(e, replay, out, block_number);
    replay.End();
    if (result != expected) Violation("returned %d, expected %d", result, expected);
    out.idm.Check();
    out.pmm.Check();
    out.block.Check();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    int call_in_input = 0;
    do {
        CallOneExport(in, call_in_input);
    } while (!in.Exhausted() && ++call_in_input < kCallsPerInput);
    fuzz_reader::End();
    return 0;
}
