// A reader/writer with a card on it, behind the reader library's eight
// operations: a stand-in for felica.dll that serves a card image, so that
// Pelkart and its callers can be run without a reader or a card.
//
// The card image comes, at each initialize_library, from the file named by
// FELICA_SIM_CARD, else from felica-card.txt beside this DLL, else from the
// built-in sample card.
#define FELICA_SIM_BUILD
#define FELICA_IMPORT __declspec(dllexport)

#include <windows.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "../src/reader/felica.h"
#include "felica_sim.h"

namespace {

const char kSampleCard[] =
#include "sample_card.inc"
    ;

// The error types get_last_error_types reports: a distinct pair for each
// kind of failure.
struct ErrorTypes {
    int32_t first;
    int32_t second;
};
constexpr ErrorTypes kNoError = {0, 0};
constexpr ErrorTypes kNotInitialized = {1, 1};
constexpr ErrorTypes kReaderNotOpen = {1, 2};
constexpr ErrorTypes kNoCard = {2, 1};
constexpr ErrorTypes kOtherCard = {2, 2};
constexpr ErrorTypes kNoSuchService = {3, 1};
constexpr ErrorTypes kNoSuchBlock = {3, 2};
constexpr ErrorTypes kBadRequest = {4, 1};
constexpr int32_t kBadCardImage = 5;  // second type: the malformed line, 0 unreadable
constexpr ErrorTypes kInjected = {9, 9};

struct CardImage {
    bool present = true;
    uint8_t idm[8] = {};
    uint8_t pmm[8] = {};
    std::map<uint16_t, std::vector<std::vector<uint8_t>>> services;
};

bool ParseHex(const std::string& text, size_t count, uint8_t* out) {
    if (text.size() != 2 * count) return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
    for (size_t i = 0; i < count; ++i)
        out[i] = static_cast<uint8_t>(std::stoul(text.substr(2 * i, 2), nullptr, 16));
    return true;
}

// Returns 0, or the number of the first malformed line (a missing IDm or
// PMm counts as the line after the last).
int32_t ParseCard(const std::string& text, CardImage& card) {
    std::istringstream lines(text);
    std::string line;
    int32_t number = 0;
    bool have_idm = false, have_pmm = false;
    std::vector<std::vector<uint8_t>>* service = nullptr;
    while (std::getline(lines, line)) {
        ++number;
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string keyword, value, extra;
        if (!(words >> keyword)) continue;
        words >> value;
        if (words >> extra) return number;
        if (keyword == "absent" && value.empty()) {
            card.present = false;
        } else if (keyword == "idm" && ParseHex(value, 8, card.idm)) {
            have_idm = true;
        } else if (keyword == "pmm" && ParseHex(value, 8, card.pmm)) {
            have_pmm = true;
        } else if (keyword == "service") {
            uint8_t code[2];
            if (!ParseHex(value, 2, code)) return number;
            const uint16_t service_code = static_cast<uint16_t>(code[0] << 8 | code[1]);
            if (card.services.count(service_code)) return number;
            service = &card.services[service_code];
        } else if (keyword == "block" && service != nullptr) {
            std::vector<uint8_t> block(kBlockSize);
            if (!ParseHex(value, kBlockSize, block.data()) || service->size() >= 255) return number;
            service->push_back(block);
        } else {
            return number;
        }
    }
    if (!have_idm || !have_pmm) return number + 1;
    return 0;
}

SimCall Started(int32_t op) {
    SimCall call{};
    call.op = op;
    return call;
}

class Reader {
public:
    int32_t Initialize();
    int32_t Dispose();
    int32_t Open();
    int32_t Close();
    int32_t Poll(polling_request* request, uint8_t* number_of_cards, card_information* info);
    int32_t ReadBlock(read_request* request, block_result* result);
    int32_t ReadService(polling_request* polling, read_request* request, card_information* info,
                        block_result* result);
    int32_t LastError(int32_t* first, int32_t* second);

    void Reset();
    void Inject(int32_t op, int32_t nth, int32_t result) { injected_[{op, nth}] = result; }
    const std::vector<SimCall>& Log() const { return log_; }
    int32_t UseCard(const char* text);
    int32_t UseCardOnThisThread(const char* text);

    std::mutex mutex;
    HMODULE module = nullptr;

private:
    // Starts a call: logs it and tells whether a failure is injected.
    bool Injected(SimCall& call);
    int32_t Fail(SimCall& call, ErrorTypes error);
    int32_t Succeed(SimCall& call);
    bool CardAnswers(SimCall& call, polling_request* request, card_information* info);
    static void Note(SimCall& call, const read_request* request, const block_result* result);
    std::string ChosenImage(bool& readable) const;
    // The card the calling thread reads: its own, if it was given one.
    const CardImage& Card() const;

    bool initialized_ = false;
    bool open_ = false;
    CardImage card_;
    std::map<DWORD, CardImage> thread_cards_;
    bool override_ = false;
    std::string override_text_;
    ErrorTypes last_error_ = kNoError;
    std::map<std::pair<int32_t, int32_t>, int32_t> injected_;
    int32_t counts_[kSimOpCount] = {};
    std::vector<SimCall> log_;
};

Reader reader;

bool Reader::Injected(SimCall& call) {
    const int32_t nth = counts_[call.op]++;
    auto it = injected_.find({call.op, nth});
    if (it == injected_.end()) return false;
    call.result = it->second;
    last_error_ = kInjected;
    log_.push_back(call);
    return true;
}

int32_t Reader::Fail(SimCall& call, ErrorTypes error) {
    last_error_ = error;
    call.result = 0;
    log_.push_back(call);
    return 0;
}

int32_t Reader::Succeed(SimCall& call) {
    call.result = 1;
    log_.push_back(call);
    return 1;
}

std::string Reader::ChosenImage(bool& readable) const {
    readable = true;
    if (override_) return override_text_;
    std::string path;
    char named[MAX_PATH] = {};
    const DWORD named_length = GetEnvironmentVariableA("FELICA_SIM_CARD", named, MAX_PATH);
    if (named_length > 0 && named_length < MAX_PATH) {
        path = named;
    } else {
        char own[MAX_PATH] = {};
        const DWORD length = GetModuleFileNameA(module, own, MAX_PATH);
        std::string beside(own, length);
        beside = beside.substr(0, beside.find_last_of("\\/") + 1) + "felica-card.txt";
        if (GetFileAttributesA(beside.c_str()) == INVALID_FILE_ATTRIBUTES) return kSampleCard;
        path = beside;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        readable = false;
        return "";
    }
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

const CardImage& Reader::Card() const {
    auto own = thread_cards_.find(GetCurrentThreadId());
    return own != thread_cards_.end() ? own->second : card_;
}

int32_t Reader::Initialize() {
    SimCall call = Started(kSimInitialize);
    if (Injected(call)) return call.result;
    bool readable = false;
    const std::string text = ChosenImage(readable);
    if (!readable) return Fail(call, {kBadCardImage, 0});
    CardImage card;
    if (const int32_t line = ParseCard(text, card); line != 0) return Fail(call, {kBadCardImage, line});
    card_ = card;
    initialized_ = true;
    return Succeed(call);
}

int32_t Reader::Dispose() {
    SimCall call = Started(kSimDispose);
    if (Injected(call)) return call.result;
    if (!initialized_) return Fail(call, kNotInitialized);
    initialized_ = false;
    open_ = false;
    return Succeed(call);
}

int32_t Reader::Open() {
    SimCall call = Started(kSimOpen);
    if (Injected(call)) return call.result;
    if (!initialized_) return Fail(call, kNotInitialized);
    open_ = true;
    return Succeed(call);
}

int32_t Reader::Close() {
    SimCall call = Started(kSimClose);
    if (Injected(call)) return call.result;
    if (!initialized_) return Fail(call, kNotInitialized);
    if (!open_) return Fail(call, kReaderNotOpen);
    open_ = false;
    return Succeed(call);
}

// The part of a polling that both polling operations share: a card of any
// system (or of one the card has) answers and gives its IDm and PMm.
bool Reader::CardAnswers(SimCall& call, polling_request* request, card_information* info) {
    if (!initialized_) return Fail(call, kNotInitialized), false;
    if (!open_) return Fail(call, kReaderNotOpen), false;
    if (request == nullptr || request->system_code == nullptr || info == nullptr ||
        info->card_idm == nullptr || info->card_pmm == nullptr)
        return Fail(call, kBadRequest), false;
    const CardImage& card = Card();
    if (!card.present) return Fail(call, kNoCard), false;
    std::memcpy(info->card_idm, card.idm, 8);
    std::memcpy(info->card_pmm, card.pmm, 8);
    return true;
}

void Reader::Note(SimCall& call, const read_request* request, const block_result* result) {
    if (request != nullptr) {
        if (request->card_idm != nullptr) std::memcpy(call.card_idm, request->card_idm, 8);
        call.number_of_services = request->number_of_services;
        if (request->service_code_list != nullptr)
            std::memcpy(call.service_code, request->service_code_list, 2);
        call.number_of_blocks = request->number_of_blocks;
        call.has_block_list = request->block_list != nullptr;
        if (request->block_list != nullptr) std::memcpy(call.block_list_element, request->block_list, 2);
    }
    if (result != nullptr) {
        if (result->status_flag_1 != nullptr) call.status_before[0] = *result->status_flag_1;
        if (result->status_flag_2 != nullptr) call.status_before[1] = *result->status_flag_2;
        if (result->returned_block_count != nullptr)
            call.status_before[2] = *result->returned_block_count;
    }
}

int32_t Reader::Poll(polling_request* request, uint8_t* number_of_cards, card_information* info) {
    SimCall call = Started(kSimPoll);
    if (request != nullptr && request->system_code != nullptr) {
        std::memcpy(call.system_code, request->system_code, 2);
        call.time_slot = request->time_slot;
    }
    if (number_of_cards != nullptr) call.number_of_cards_before = *number_of_cards;
    if (Injected(call)) return call.result;
    if (number_of_cards == nullptr) return Fail(call, kBadRequest);
    if (!CardAnswers(call, request, info)) return (*number_of_cards = 0), 0;
    *number_of_cards = 1;
    return Succeed(call);
}

namespace {
bool Usable(const block_result* result) {
    return result != nullptr && result->status_flag_1 != nullptr &&
           result->status_flag_2 != nullptr && result->returned_block_count != nullptr &&
           result->block_data != nullptr;
}
void Report(block_result* result, uint8_t flag_1, uint8_t flag_2, uint8_t count) {
    *result->status_flag_1 = flag_1;
    *result->status_flag_2 = flag_2;
    *result->returned_block_count = count;
}
uint16_t ServiceCode(const read_request* request) {
    return static_cast<uint16_t>(request->service_code_list[0] | request->service_code_list[1] << 8);
}
}  // namespace

int32_t Reader::ReadBlock(read_request* request, block_result* result) {
    SimCall call = Started(kSimReadBlock);
    Note(call, request, result);
    if (Injected(call)) return call.result;
    if (!initialized_) return Fail(call, kNotInitialized);
    if (!open_) return Fail(call, kReaderNotOpen);
    if (request == nullptr || request->card_idm == nullptr || request->service_code_list == nullptr ||
        request->block_list == nullptr || request->number_of_services != 1 ||
        request->number_of_blocks != 1 || request->block_list[0] != 0x80 || !Usable(result))
        return Fail(call, kBadRequest);
    const CardImage& card = Card();
    if (!card.present) return Report(result, 0xFF, 0xFF, 0), Fail(call, kNoCard);
    if (std::memcmp(request->card_idm, card.idm, 8) != 0)
        return Report(result, 0xFF, 0xFF, 0), Fail(call, kOtherCard);
    auto service = card.services.find(ServiceCode(request));
    if (service == card.services.end()) return Report(result, 0x01, 0xA6, 0), Fail(call, kNoSuchService);
    const size_t block = request->block_list[1];
    if (block >= service->second.size()) return Report(result, 0x01, 0xA8, 0), Fail(call, kNoSuchBlock);
    std::memcpy(result->block_data, service->second[block].data(), kBlockSize);
    Report(result, 0x00, 0x00, 1);
    return Succeed(call);
}

int32_t Reader::ReadService(polling_request* polling, read_request* request, card_information* info,
                            block_result* result) {
    SimCall call = Started(kSimReadService);
    if (polling != nullptr && polling->system_code != nullptr) {
        std::memcpy(call.system_code, polling->system_code, 2);
        call.time_slot = polling->time_slot;
    }
    Note(call, request, result);
    if (Injected(call)) return call.result;
    if (request == nullptr || request->service_code_list == nullptr ||
        request->number_of_services != 1 || !Usable(result))
        return Fail(call, kBadRequest);
    if (!CardAnswers(call, polling, info)) return 0;
    const CardImage& card = Card();
    auto service = card.services.find(ServiceCode(request));
    if (service == card.services.end()) return Report(result, 0x01, 0xA6, 0), Fail(call, kNoSuchService);
    const size_t blocks = request->number_of_blocks;
    if (blocks == 0 || blocks > service->second.size())
        return Report(result, 0x01, 0xA8, 0), Fail(call, kNoSuchBlock);
    for (size_t n = 0; n < blocks; ++n)
        std::memcpy(result->block_data + kBlockSize * n, service->second[n].data(), kBlockSize);
    Report(result, 0x00, 0x00, static_cast<uint8_t>(blocks));
    return Succeed(call);
}

int32_t Reader::LastError(int32_t* first, int32_t* second) {
    SimCall call = Started(kSimLastError);
    if (Injected(call)) return call.result;
    if (first != nullptr) *first = last_error_.first;
    if (second != nullptr) *second = last_error_.second;
    return Succeed(call);
}

void Reader::Reset() {
    initialized_ = false;
    open_ = false;
    override_ = false;
    override_text_.clear();
    last_error_ = kNoError;
    injected_.clear();
    thread_cards_.clear();
    for (int32_t& count : counts_) count = 0;
    log_.clear();
}

int32_t Reader::UseCard(const char* text) {
    if (text == nullptr) {
        override_ = false;
        return 0;
    }
    CardImage card;
    const int32_t line = ParseCard(text, card);
    override_ = true;
    override_text_ = text;
    return line;
}

int32_t Reader::UseCardOnThisThread(const char* text) {
    const DWORD thread = GetCurrentThreadId();
    if (text == nullptr) {
        thread_cards_.erase(thread);
        return 0;
    }
    CardImage card;
    if (const int32_t line = ParseCard(text, card); line != 0) return line;
    thread_cards_[thread] = card;
    return 0;
}

}  // namespace

// Every operation runs under the simulator's one lock, so that calls from
// several threads see a consistent reader.
#define SIM_LOCKED(expression)                         \
    std::lock_guard<std::mutex> lock(reader.mutex);    \
    return expression

extern "C" {

int32_t initialize_library(void) { SIM_LOCKED(reader.Initialize()); }
int32_t dispose_library(void) { SIM_LOCKED(reader.Dispose()); }
int32_t open_reader_writer_auto(void) { SIM_LOCKED(reader.Open()); }
int32_t close_reader_writer(void) { SIM_LOCKED(reader.Close()); }
int32_t polling_and_get_card_information(polling_request* request, uint8_t* number_of_cards,
                                         card_information* info) {
    SIM_LOCKED(reader.Poll(request, number_of_cards, info));
}
int32_t read_block_without_encryption(read_request* request, block_result* result) {
    SIM_LOCKED(reader.ReadBlock(request, result));
}
int32_t polling_and_read_service_without_encryption(polling_request* polling, read_request* request,
                                                    card_information* info, block_result* result) {
    SIM_LOCKED(reader.ReadService(polling, request, info, result));
}
int32_t get_last_error_types(int32_t* first, int32_t* second) {
    SIM_LOCKED(reader.LastError(first, second));
}

void felica_sim_reset(void) {
    std::lock_guard<std::mutex> lock(reader.mutex);
    reader.Reset();
}
void felica_sim_inject(int32_t op, int32_t nth, int32_t result) {
    std::lock_guard<std::mutex> lock(reader.mutex);
    reader.Inject(op, nth, result);
}
int32_t felica_sim_log_count(void) {
    std::lock_guard<std::mutex> lock(reader.mutex);
    return static_cast<int32_t>(reader.Log().size());
}
int32_t felica_sim_log_entry(int32_t index, SimCall* call) {
    std::lock_guard<std::mutex> lock(reader.mutex);
    const std::vector<SimCall>& log = reader.Log();
    if (index < 0 || static_cast<size_t>(index) >= log.size() || call == nullptr) return 0;
    *call = log[static_cast<size_t>(index)];
    return 1;
}
int32_t felica_sim_use_card(const char* text) {
    std::lock_guard<std::mutex> lock(reader.mutex);
    return reader.UseCard(text);
}
int32_t felica_sim_use_card_on_this_thread(const char* text) {
    std::lock_guard<std::mutex> lock(reader.mutex);
    return reader.UseCardOnThisThread(text);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) reader.module = instance;
    return TRUE;
}

}  // extern "C"
