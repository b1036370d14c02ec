// Opening and closing the reader library and the reader, and the one-shot
// bracket around a one-shot export's work.
//
// Three release rules hold: a failed open of the reader is never followed by
// disposing of the library; a failure in the middle of a one-shot call is
// followed by close and dispose, whatever they return; a failed close is not
// followed by dispose.
#pragma once

#include "../reader/felica.h"
#include "result_codes.h"

// initialize_library, then open_reader_writer_auto: 1, -10 or -11.
int32_t OpenReader();

// close_reader_writer, then dispose_library: 1, -13 or -14.
int32_t CloseReader();

// Runs middle() between OpenReader() and CloseReader(). A middle that fails
// (returns other than RcOk) is followed by close and dispose, whatever they
// return, and its code is returned.
template <typename Middle>
int32_t OneShot(Middle middle) {
    const int32_t opened = OpenReader();
    if (opened != RcOk) return opened;
    const int32_t result = middle();
    if (result != RcOk) {
        close_reader_writer();
        dispose_library();
        return result;
    }
    return CloseReader();
}
