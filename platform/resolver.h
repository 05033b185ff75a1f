// Host-name look-ups of IPv4 addresses and names, behind an interface so that
// tests can answer in place of the network.
#pragma once
#include <cstdint>
#include <string>

namespace tv {

// Implementations are called from many threads at once.
class Resolver {
 public:
  virtual ~Resolver() = default;
  // The registered name of an address (first octet in the high byte); false
  // when it has none or the look-up fails.
  virtual bool NameOf(uint32_t address, std::string* name) = 0;
  // The first IPv4 address of a host name (first octet in the high byte);
  // false when it has none or the look-up fails.
  virtual bool AddressOf(const char* name, uint32_t* address) = 0;

  // Why a forward look-up failed, in the numbering of h_errno.
  enum LookupError { kHostNotFound = 1, kTryAgain = 2, kNoRecovery = 3, kNoData = 4 };
  // AddressOf that also tells why it failed; a resolver that cannot tell
  // reports kHostNotFound.
  virtual bool AddressOfWithError(const char* name, uint32_t* address, int* error) {
    bool found = AddressOf(name, address);
    if (!found && error) *error = kHostNotFound;
    return found;
  }
};

// The system's resolver: getnameinfo with a name required, getaddrinfo for IPv4.
Resolver& SystemResolver();

}  // namespace tv
