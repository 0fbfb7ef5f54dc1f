// Where the update server is: "http://" + host + "/download/software/vireo_manager/". The host
// is fixed when the program is built (VIREO_UPDATE_HOST_DEFAULT) and can be replaced for a
// mirror or a local test server with the environment variable VIREO_UPDATE_HOST, given as
// host or host:port ("[::1]:8080" for an IPv6 address).
#pragma once

#include <string>

namespace vireo {

constexpr const char kUpdateBasePath[] = "/download/software/vireo_manager/";

// True when text is a host name or address with an optional port, and nothing else.
bool IsValidUpdateHost(const std::string& text);

// The host in use: VIREO_UPDATE_HOST when it is set and valid, else the built-in one.
// error, when given, receives a complaint about a set but unusable VIREO_UPDATE_HOST.
std::string UpdateHost(std::string* error = nullptr);

// The update base address, ending in "/".
std::string UpdateBaseAddress(std::string* error = nullptr);

// The URL of a file the server names: the base address and the name appended as it stands,
// with bytes that a URL cannot carry (spaces, controls, "%", "#", "?", non-ASCII) escaped.
std::string UpdateFileUrl(const std::string& baseAddress, const std::string& name);

} // namespace vireo
