// The reader library's eight operations as the test doubles log them: the
// fake reader of the host tests, the fuzz target's reader and the reader
// simulator (SimOp) all number them in this order.
#pragma once

#include <stdint.h>

enum class Op : uint8_t { Initialize, Dispose, Open, Close, Poll, ReadBlock, ReadService, LastError };

// Each operation as one letter, in the order of Op: I initialize, D dispose,
// O open, C close, P poll, R read block, S read service, E last error.
constexpr char kOpLetters[] = "IDOCPRSE";

inline char OpLetter(Op op) { return kOpLetters[static_cast<int>(op)]; }

inline const char* OpName(Op op) {
    switch (op) {
        case Op::Initialize: return "initialize_library";
        case Op::Dispose: return "dispose_library";
        case Op::Open: return "open_reader_writer_auto";
        case Op::Close: return "close_reader_writer";
        case Op::Poll: return "polling_and_get_card_information";
        case Op::ReadBlock: return "read_block_without_encryption";
        case Op::ReadService: return "polling_and_read_service_without_encryption";
        case Op::LastError: return "get_last_error_types";
    }
    return "?";
}
