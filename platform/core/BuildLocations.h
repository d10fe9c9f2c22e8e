#pragma once
// Where the build that made this program keeps its pieces, recorded when
// CMake configures it: the source tree's resources folder and the build
// folder the uninstalled executables run from. Only Bundle reads them.

namespace core::BuildLocations {

extern const char* const kResourcesPath;
extern const char* const kBuildPath;

}  // namespace core::BuildLocations
