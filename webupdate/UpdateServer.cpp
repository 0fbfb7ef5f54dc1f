#include "webupdate/UpdateServer.h"

#include <cstdlib>

#ifndef VIREO_UPDATE_HOST_DEFAULT
#define VIREO_UPDATE_HOST_DEFAULT "update.vireo-manager.example"
#endif

namespace vireo {

namespace {

bool IsHostChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.';
}

bool IsPort(const std::string& text) {
    if (text.empty() || text.size() > 5)
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    const long port = std::strtol(text.c_str(), nullptr, 10);
    return port >= 1 && port <= 65535;
}

bool IsUrlSafe(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~' || c == '/' || c == '+' || c == '(' || c == ')' ||
           c == ',' || c == '=' || c == '!' || c == '$' || c == '&' || c == ';' || c == '@' ||
           c == ':' || c == '\'' || c == '*';
}

} // namespace

bool IsValidUpdateHost(const std::string& text) {
    std::string host = text;
    std::string port;
    if (!host.empty() && host[0] == '[') { // [IPv6]:port
        const size_t close = host.find(']');
        if (close == std::string::npos || close == 1)
            return false;
        for (size_t i = 1; i < close; ++i) {
            const char c = host[i];
            if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') ||
                  c == ':' || c == '.'))
                return false;
        }
        const std::string rest = host.substr(close + 1);
        return rest.empty() || (rest[0] == ':' && IsPort(rest.substr(1)));
    }
    if (const size_t colon = host.find(':'); colon != std::string::npos) {
        port = host.substr(colon + 1);
        host.resize(colon);
        if (!IsPort(port))
            return false;
    }
    if (host.empty() || host.front() == '.' || host.front() == '-')
        return false;
    for (char c : host) {
        if (!IsHostChar(c))
            return false;
    }
    return true;
}

std::string UpdateHost(std::string* error) {
    const char* configured = std::getenv("VIREO_UPDATE_HOST");
    if (configured && *configured) {
        if (IsValidUpdateHost(configured))
            return configured;
        if (error)
            *error = std::string("VIREO_UPDATE_HOST='") + configured +
                     "' is no host[:port]; the built-in update server is used";
    }
    return VIREO_UPDATE_HOST_DEFAULT;
}

std::string UpdateBaseAddress(std::string* error) {
    return "http://" + UpdateHost(error) + kUpdateBasePath;
}

std::string UpdateFileUrl(const std::string& baseAddress, const std::string& name) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string url = baseAddress;
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (IsUrlSafe(b)) {
            url += c;
        } else {
            url += '%';
            url += kHex[b >> 4];
            url += kHex[b & 15];
        }
    }
    return url;
}

} // namespace vireo
