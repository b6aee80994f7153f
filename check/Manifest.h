#pragma once

#include <string>
#include <string_view>
#include <vector>

// A side-by-side assembly as a manifest names it.
struct AssemblyIdentity {
    std::wstring name;
    std::wstring version;
    std::wstring architecture;
    bool operator==(const AssemblyIdentity&) const = default;
};

// The assemblies that `manifest` (its bytes: UTF-8, or UTF-16 with its byte-order mark) needs: the identity in each
// <dependentAssembly>, in document order, leaving out those under <dependency optional="yes">. Only names this
// system's error could be about are read; the system itself decides what the manifest means.
[[nodiscard]] std::vector<AssemblyIdentity> DependentAssemblies(std::string_view manifest);

// "Tandrel.Test.WrennaAid 1.0.0.0 (x86)"
[[nodiscard]] std::wstring Describe(const AssemblyIdentity& assembly);
