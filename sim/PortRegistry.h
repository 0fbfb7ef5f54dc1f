// Registration of the simulator's pty slave as "COM<n>" in the port directory.
#pragma once

#include <string>

namespace vireo::sim {

struct PortRegistration {
    int number = 0;       // 0: not registered
    std::string linkPath; // <dir>/COM<n>
    std::string target;   // the device the link points at
    std::string notice;   // numbers skipped because they belong to another device
};

// Creates dir when missing and links dir/COM<n> to target, for the first n from first up to
// vireo::kMaxPortNumber whose entry is free. An entry is free when it does not exist or is a
// symbolic link to a device that is no longer present (left behind by a crashed run); an
// entry pointing at another present device, or anything that is not a link, is never
// replaced. false with a reason in *error when no number could be taken.
bool RegisterPort(const std::string& dir, int first, const std::string& target,
                  PortRegistration* reg, std::string* error);

// Removes the link, but only while it still points at the registered target.
void UnregisterPort(PortRegistration* reg);

} // namespace vireo::sim
