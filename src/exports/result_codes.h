// The result codes of the reading and connection exports. Each failing step
// has its own code; 0 and -1 to -8 are not result codes.
#pragma once

#include <stdint.h>

enum ResultCode : int32_t {
    RcOk = 1,
    RcRecordAllOk = 670,   // success of FelicaSuicaRecordAll, in place of 1
    RcBadIndex = -9,       // blockNumber outside 0 to 19
    RcInitFailed = -10,    // initialize_library failed
    RcOpenFailed = -11,    // open_reader_writer_auto failed
    RcPollFailed = -12,    // polling failed: no card answered
    RcCloseFailed = -13,   // close_reader_writer failed
    RcDisposeFailed = -14, // dispose_library failed
    RcReadFailed = -15,    // a block read or a service read failed
};
