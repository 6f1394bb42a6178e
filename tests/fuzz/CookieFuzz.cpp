// A node's cookie file: refused with the client's own error, or credentials that, written back
// as a cookie, read the same.

#include "FuzzSupport.h"
#include "corvanta/rpc/RPCClient.h"
#include "corvanta/rpc/RPCErrors.h"

using namespace corvanta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::ScratchFile cookie("cookie");
    cookie.write(fuzz::textOf(data, size));
    RPCCredentials credentials;
    try {
        credentials = RPCCredentials::readingCookie(cookie.path());
    } catch (const RPCTransportError&) {
        return 0;
    }
    fuzz::expect(!credentials.user.empty(), "accepted an empty user");
    fuzz::expect(credentials.authorizationHeader().starts_with("Basic "), "not a basic header");
    cookie.write(credentials.user + ":" + credentials.password);
    fuzz::expect(RPCCredentials::readingCookie(cookie.path()) == credentials,
                 "credentials changed through a round trip");
    return 0;
}
