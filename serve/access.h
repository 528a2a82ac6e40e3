// Which browsers' pages and which host names may reach the service. A page elsewhere on the web
// must not drive the machine through the user's browser: neither by its own origin, nor through
// a name of its own that it points at 127.0.0.1 (DNS rebinding).
#pragma once

#include <set>
#include <string>

namespace stampctl_serve {

bool isLoopbackHost(const std::string& host);

class Access {
public:
    // `listenHost` is the address the service listens on; `originsFile` lists the origins of
    // other sites' pages allowed to call it (a missing file allows none).
    bool load(const std::string& listenHost, const std::string& originsFile, std::string& error);

    // A Host header ("name[:port]") naming a loopback name or the listen address.
    bool hostAllowed(const std::string& hostHeader) const;
    // The service's own origin on `hostHeader`, or one of the allow-list.
    bool originAllowed(const std::string& origin, const std::string& hostHeader) const;

private:
    std::string m_listenHost;
    std::set<std::string> m_origins;
};

}  // namespace stampctl_serve
