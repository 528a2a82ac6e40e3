#include "serve/access.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace stampctl_serve {

namespace {

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string trimmed(const std::string& text)
{
    const size_t from = text.find_first_not_of(" \t\r");
    if (from == std::string::npos) return {};
    return text.substr(from, text.find_last_not_of(" \t\r") - from + 1);
}

// "name:port", "[v6]:port" or a bare name as the name alone.
std::string hostName(const std::string& header)
{
    std::string host = lower(trimmed(header));
    if (!host.empty() && host.front() == '[') {
        const size_t close = host.find(']');
        return close == std::string::npos ? std::string() : host.substr(1, close - 1);
    }
    const size_t colon = host.find(':');
    return colon == std::string::npos ? host : host.substr(0, colon);
}

bool endsWith(const std::string& text, const std::string& tail)
{
    return text.size() > tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// "https://Example.cn/" as "https://example.cn".
std::string normalOrigin(const std::string& origin)
{
    std::string o = lower(trimmed(origin));
    while (!o.empty() && o.back() == '/') o.pop_back();
    return o;
}

}  // namespace

bool isLoopbackHost(const std::string& host)
{
    const std::string h = lower(host);
    if (h == "localhost" || endsWith(h, ".localhost")) return true;
    in_addr v4{};
    if (inet_pton(AF_INET, h.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    return inet_pton(AF_INET6, h.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

bool Access::load(const std::string& listenHost, const std::string& originsFile, std::string& error)
{
    m_listenHost = lower(listenHost);
    m_origins.clear();
    std::ifstream in(originsFile);
    if (!in) {
        if (errno == ENOENT) return true;
        error = "cannot read the allowed origins in " + originsFile + ": " + std::strerror(errno);
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        line = trimmed(line.substr(0, line.find('#')));
        if (line.empty()) continue;
        if (line.rfind("http://", 0) != 0 && line.rfind("https://", 0) != 0) {
            error = originsFile + ": an origin is http:// or https:// and a host, not " + line;
            return false;
        }
        m_origins.insert(normalOrigin(line));
    }
    return true;
}

bool Access::hostAllowed(const std::string& hostHeader) const
{
    const std::string name = hostName(hostHeader);
    if (name.empty()) return false;
    const bool anyAddress = m_listenHost == "0.0.0.0" || m_listenHost == "::";
    return isLoopbackHost(name) || (!anyAddress && name == m_listenHost);
}

bool Access::originAllowed(const std::string& origin, const std::string& hostHeader) const
{
    const std::string o = normalOrigin(origin);
    const std::string host = lower(trimmed(hostHeader));
    if (!host.empty() && (o == "http://" + host || o == "https://" + host)) return true;
    return m_origins.count(o) > 0;
}

}  // namespace stampctl_serve
