#pragma once
// Finding the editor's resources (the font and the logo) by name: first among the module's own
// embedded resources, then as a file path. The embedded table is platform business (arrays
// compiled into the module on Linux, module resources on Windows) and sits behind
// IEmbeddedResources; the graphics context gets one and asks it first.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace igraphics {

// Bytes of a resource; they are not owned by this record.
struct ResourceBytes
{
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;

    bool Found() const { return data != nullptr && size > 0; }
};

class IEmbeddedResources
{
public:
    virtual ~IEmbeddedResources() = default;

    // Any thread. The bytes of the embedded resource called name (for example "Ringstill.png"),
    // or an empty record. The bytes stay valid as long as the module is loaded.
    virtual ResourceBytes Find(const char* name) const = 0;
};

// Resource files larger than this are refused rather than read into memory.
inline constexpr std::size_t kMaxResourceFileBytes = 64u * 1024u * 1024u;

// UI thread. Looks name up in embedded (when given), then reads it as a file path into storage.
// The result points into the embedded table or into storage; empty when neither has it.
ResourceBytes LoadResourceBytes(const IEmbeddedResources* embedded, const char* name,
                                std::vector<std::uint8_t>& storage);

} // namespace igraphics
