// The one error type of the library database.
#pragma once

#include <stdexcept>

// Raised by every database operation when SQLite fails; carries SQLite's message.
class EDatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
