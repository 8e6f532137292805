// Where the built files under test are, and small file helpers for the resource tests.
#pragma once

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace ResourceFiles {

// The module file whose resources are checked: the add-on itself once it is built, otherwise the probe
// module, which carries the same resources in the same way.
inline std::string ModuleFile() {
#ifdef KAVELO_MODULE_FILE
    return KAVELO_MODULE_FILE;
#else
    return KAVELO_PROBE_MODULE;
#endif
}

inline std::string ProbeModule() {
    return KAVELO_PROBE_MODULE;
}
inline std::string ResourceImage() {
    return KAVELO_RESOURCE_IMAGE;
}

inline std::vector<unsigned char> Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string ReadText(const std::string& path) {
    const std::vector<unsigned char> bytes = Read(path);
    return std::string(bytes.begin(), bytes.end());
}

inline void Write(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace ResourceFiles
