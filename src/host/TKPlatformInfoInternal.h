// What the rest of the host layer needs to know about the settings store
// beyond its public interface.
#pragma once

#include <cstdint>

namespace AliCloudWrapper {
namespace SettingsInternal {

// Grows on every change of the store (a value set or removed, a file loaded,
// the store cleared). The log compares it to notice changed log settings
// without taking the store's lock on every line.
uint64_t Generation();

}  // namespace SettingsInternal
}  // namespace AliCloudWrapper
