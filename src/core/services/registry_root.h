#pragma once
#include <string_view>

// The five predefined roots, and no root for any other name.
enum class RegistryRoot { None, CurrentUser, ClassesRoot, LocalMachine, Users, CurrentConfig };

// Exact, case-sensitive names, tested in the order of the roots above.
inline RegistryRoot RegistryRootFromName(std::u16string_view name) {
    if (name == u"HKEY_CURRENT_USER")
        return RegistryRoot::CurrentUser;
    if (name == u"HKEY_CLASSES_ROOT")
        return RegistryRoot::ClassesRoot;
    if (name == u"HKEY_LOCAL_MACHINE")
        return RegistryRoot::LocalMachine;
    if (name == u"HKEY_USERS")
        return RegistryRoot::Users;
    if (name == u"HKEY_CURRENT_CONFIG")
        return RegistryRoot::CurrentConfig;
    return RegistryRoot::None;
}
