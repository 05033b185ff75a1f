#include "platform/resolver.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

namespace tv {
namespace {

class SystemResolverImpl : public Resolver {
 public:
  bool NameOf(uint32_t address, std::string* name) override {
    sockaddr_in sa;
    memset(&sa, 0, sizeof sa);
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(address);
    char host[NI_MAXHOST];
    // Without NI_NAMEREQD the dotted address would come back as its "name".
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&sa), sizeof sa, host, sizeof host, nullptr, 0,
                    NI_NAMEREQD) != 0)
      return false;
    *name = host;
    return true;
  }

  bool AddressOf(const char* name, uint32_t* address) override {
    return AddressOfWithError(name, address, nullptr);
  }

  bool AddressOfWithError(const char* name, uint32_t* address, int* error) override {
    int why = kHostNotFound;
    bool found = Forward(name, address, &why);
    if (!found && error) *error = why;
    return found;
  }

 private:
  static bool Forward(const char* name, uint32_t* address, int* why) {
    if (!name || !*name) return false;
    addrinfo hints;
    memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;  // one answer per address, not one per socket type
    addrinfo* list = nullptr;
    int rc = getaddrinfo(name, nullptr, &hints, &list);
    if (rc != 0 || !list) {
      *why = ErrorOf(rc);
      return false;
    }
    bool found = false;
    for (const addrinfo* ai = list; ai; ai = ai->ai_next) {
      if (ai->ai_family != AF_INET || !ai->ai_addr) continue;
      *address = ntohl(reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr.s_addr);
      found = true;
      break;
    }
    freeaddrinfo(list);
    if (!found) *why = kNoData;
    return found;
  }

  // getaddrinfo's failures in h_errno's numbering.
  static int ErrorOf(int rc) {
    switch (rc) {
      case EAI_NONAME:
        return kHostNotFound;
      case EAI_AGAIN:
        return kTryAgain;
#ifdef EAI_NODATA
      case EAI_NODATA:
        return kNoData;
#endif
#ifdef EAI_ADDRFAMILY
      case EAI_ADDRFAMILY:
        return kNoData;
#endif
      case 0:  // success without a list
        return kNoData;
      default:
        return kNoRecovery;
    }
  }
};

}  // namespace

Resolver& SystemResolver() {
  static SystemResolverImpl resolver;
  return resolver;
}

}  // namespace tv
