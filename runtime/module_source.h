// Where a module comes from: appended to the running executable by the packing
// tool, a raw container file, or a Windows executable carrying it as resource
// RT_RCDATA 1111.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/module_format.h"

namespace kr {

// The module packed into an executable file, read without reading the rest of
// it; false when the file carries none.
bool readPackedModule(const std::string& executable, std::vector<std::uint8_t>& module);

// Reads a whole file; false when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& out);

// The module appended to an executable image, if any.
bool findPackedModule(const std::vector<std::uint8_t>& image, std::size_t& offset, std::size_t& size);

// The data of resource (type, id) in a PE image; false when the image is not a
// well-formed PE file or has no such resource.
bool findPeResource(const std::uint8_t* data, std::size_t size, std::uint32_t type, std::uint32_t id,
                    std::size_t& offset, std::size_t& length);

// A file named on the command line: a PE file's module resource, else the file
// itself as a raw container.
void moduleInFile(const std::vector<std::uint8_t>& file, std::size_t& offset, std::size_t& size);

}  // namespace kr
