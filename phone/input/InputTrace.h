#pragma once

namespace tavrin {

// Diagnostic trace of the input daemon: one line in $TAVRIN_LOG_DIR/tavrininput.log
// when that variable is set, nothing otherwise. Always returns 1.
int inputTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tavrin
