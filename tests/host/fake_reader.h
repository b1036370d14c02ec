// A recording fake of the reader library for the host tests.
//
// It is safe to call from several threads at once. It holds a card (or a card
// of each thread's own, see ServeOnThisThread), answers each call with a scripted result (1 unless a test
// says otherwise) and records every call with the contents of the records it
// was handed. Like a careless library, it writes its data even into a call
// that it then reports as failed, so that tests see whether the caller takes
// anything from a failed call.
#pragma once

#include <stdint.h>

#include <array>
#include <map>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "hex_oracle.h"
#include "reader_ops.h"

// A call sequence written one letter a call (kOpLetters).
std::vector<Op> Ops(const std::string& letters);
void PrintTo(Op op, std::ostream* os);

using Id = std::array<uint8_t, 8>;

struct Card {
    Id idm;
    Id pmm;
    std::array<uint8_t, 16> balance;
    std::array<uint8_t, 48> ticket_gate;
    std::array<uint8_t, 320> history;

    // Distinct bytes in every block, below 0x10, with letters and 0xFF.
    static Card Sample();
    // The same card with another IDm, PMm and data, told apart by seed.
    static Card Distinct(uint8_t seed);
};

// One call as the fake received it.
struct Call {
    Op op;
    int32_t result = 0;

    // Poll and ReadService: the polling request and the card information.
    std::array<uint8_t, 2> system_code{};
    uint8_t time_slot = 0xEE;
    uint8_t number_of_cards_before = 0xEE;
    const void* polling_request_address = nullptr;
    const void* card_information_address = nullptr;
    bool idm_and_pmm_buffers_given = false;

    // ReadBlock and ReadService: the read request and the block result.
    Id card_idm{};
    uint8_t number_of_services = 0xEE;
    std::array<uint8_t, 2> service_code{};
    uint8_t number_of_blocks = 0xEE;
    bool has_block_list = false;
    std::array<uint8_t, 2> block_list_element{};
    std::array<uint8_t, 3> status_bytes_before{};  // flag 1, flag 2, count
    bool reads_into_polled_idm = false;  // read_request.card_idm == card_idm of the polling
};

class FakeReader {
public:
    FakeReader();  // becomes the library that the module calls
    ~FakeReader();
    FakeReader(const FakeReader&) = delete;
    FakeReader& operator=(const FakeReader&) = delete;

    // The nth call of op (counting from 0) returns value.
    void Answer(Op op, int nth, int32_t value) {
        std::lock_guard<std::mutex> lock(mutex_);
        answers_[{op, nth}] = value;
    }
    // Every call of op returns value.
    void AnswerAll(Op op, int32_t value) {
        std::lock_guard<std::mutex> lock(mutex_);
        answer_all_[op] = value;
    }

    const std::vector<Call>& calls() const { return calls_; }  // once the calls are over
    std::vector<Op> ops() const;
    std::vector<int> blocks_read() const;  // block numbers of the ReadBlock calls

    Card card = Card::Sample();

    // What the library does beyond serving the card.
    bool writes_ids = true;                 // polling writes the IDm and PMm
    bool block_reads_write_data = true;     // a block read writes its block
    uint8_t reported_number_of_cards = 1;
    std::array<uint8_t, 3> reported_status{0, 0, 0};  // flag 1, flag 2, count
    bool reports_block_count = true;        // count byte: the blocks written, not [2]
    int exchange_blocks_written = -1;       // -1: number_of_blocks
    std::optional<Id> exchange_rewrites_idm;
    std::optional<std::pair<int32_t, int32_t>> error_types = std::make_pair(0, 0);

    // Called by the reader library entry points.
    int32_t Initialize() { return Record(Call{Op::Initialize}); }
    int32_t Dispose() { return Record(Call{Op::Dispose}); }
    int32_t Open() { return Record(Call{Op::Open}); }
    int32_t Close() { return Record(Call{Op::Close}); }
    int32_t Poll(struct polling_request* request, uint8_t* number_of_cards,
                 struct card_information* info);
    int32_t ReadBlock(struct read_request* request, struct block_result* result);
    int32_t ReadService(struct polling_request* polling, struct read_request* request,
                        struct card_information* info, struct block_result* result);
    int32_t LastError(int32_t* first, int32_t* second);

    static FakeReader* Current();

    // From now on the calling thread's pollings and reads see card, whatever
    // the other threads see; null goes back to the fake's own card.
    static void ServeOnThisThread(const Card* card);

private:
    int32_t Record(Call call);
    void RecordReadRequest(const struct read_request* request, Call& call) const;
    void WriteStatus(struct block_result* result, int blocks) const;
    const Card& Served() const;

    std::map<std::pair<Op, int>, int32_t> answers_;
    std::map<Op, int32_t> answer_all_;
    std::map<Op, int> counts_;
    std::vector<Call> calls_;
    mutable std::mutex mutex_;  // guards the answers, the counts and the calls
};

template <size_t N>
std::string Hex(const std::array<uint8_t, N>& bytes) {
    return Hex(bytes.data(), N);
}
