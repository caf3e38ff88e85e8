#pragma once
// The answer log's schema: the steps that make and migrate it and the mark that tells this
// program's logs from other databases. The desktop and the browser edition make the same file.

#include <cstdint>
#include <span>

namespace keta {

// PRAGMA application_id of this program's logs: the ASCII of "KTTB".
inline constexpr std::int32_t kLogApplicationId = 0x4B545442;
// The schema version this program writes into PRAGMA user_version.
inline constexpr int kLogSchemaVersion = 3;

// The statements that bring a log at user_version `version` to `version` + 1.
std::span<const char* const> MigrationSteps(int version);

}  // namespace keta
