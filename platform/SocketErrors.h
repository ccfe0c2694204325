#pragma once

#include <cerrno>

namespace tavrin {

// The socket errors after which a connection is of no further use (the
// socket is gone, the network is down, or the peer aborted, reset or shut it).
inline bool isFatalSocketError(int error) {
  switch (error) {
    case ENOTSOCK:
    case ENETDOWN:
    case ECONNABORTED:
    case ECONNRESET:
    case ESHUTDOWN:
    case EPIPE:
      return true;
    default:
      return false;
  }
}

}  // namespace tavrin
