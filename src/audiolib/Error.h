// The calling thread's last error (BASS_ErrorGetCode), set from inside the library.
#pragma once

namespace melvo::audiolib {

void setError(int code);

}  // namespace melvo::audiolib
