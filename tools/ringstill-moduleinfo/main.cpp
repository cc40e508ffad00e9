// Writes a bundle's moduleinfo.json from what its factory reports: the module is loaded like a host
// loads it, so the file can never say something the binary does not.
//
//   ringstill-moduleinfo <bundle or binary> <output file>
#include "tools/vst3-host/Module.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using ringstill::vst3host::Module;

template <std::size_t N>
std::string Field(const Steinberg::char8 (&field)[N])
{
    return std::string(field, strnlen(field, N));
}

std::string Quoted(const std::string& text)
{
    std::string out = "\"";
    for (const unsigned char c : text)
    {
        if (c == '"' || c == '\\')
        {
            out += '\\';
            out += char(c);
        }
        else if (c < 0x20)
        {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(c));
            out += escaped;
        }
        else
            out += char(c);
    }
    return out + "\"";
}

std::string Hex(const Steinberg::TUID id)
{
    std::string out;
    char digits[3];
    for (int i = 0; i < 16; ++i)
    {
        std::snprintf(digits, sizeof digits, "%02X", unsigned(static_cast<unsigned char>(id[i])));
        out += digits;
    }
    return out;
}

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator))
        if (!part.empty())
            parts.push_back(part);
    return parts;
}

std::string Bool(bool value) { return value ? "true" : "false"; }

std::string Describe(const Module& module)
{
    Steinberg::PFactoryInfo factory;
    module.Factory()->getFactoryInfo(&factory);
    const std::vector<Steinberg::PClassInfo2> classes = module.Classes();
    const std::string vendor = Field(factory.vendor);

    std::ostringstream json;
    json << "{\n";
    json << "  \"Name\": " << Quoted(classes.empty() ? std::string() : Field(classes.front().name)) << ",\n";
    json << "  \"Version\": " << Quoted(classes.empty() ? std::string() : Field(classes.front().version)) << ",\n";
    json << "  \"Factory Info\": {\n";
    json << "    \"Vendor\": " << Quoted(vendor) << ",\n";
    json << "    \"URL\": " << Quoted(Field(factory.url)) << ",\n";
    json << "    \"E-Mail\": " << Quoted(Field(factory.email)) << ",\n";
    json << "    \"Flags\": {\n";
    json << "      \"Unicode\": " << Bool(factory.flags & Steinberg::PFactoryInfo::kUnicode) << ",\n";
    json << "      \"Classes Discardable\": " << Bool(factory.flags & Steinberg::PFactoryInfo::kClassesDiscardable) << ",\n";
    json << "      \"Component Non Discardable\": "
         << Bool(factory.flags & Steinberg::PFactoryInfo::kComponentNonDiscardable) << "\n";
    json << "    }\n";
    json << "  },\n";
    json << "  \"Compatibility\": [],\n";
    json << "  \"Classes\": [";
    for (std::size_t i = 0; i < classes.size(); ++i)
    {
        const Steinberg::PClassInfo2& info = classes[i];
        // An empty class vendor means the factory's.
        const std::string classVendor = Field(info.vendor).empty() ? vendor : Field(info.vendor);
        json << (i == 0 ? "\n" : ",\n");
        json << "    {\n";
        json << "      \"CID\": " << Quoted(Hex(info.cid)) << ",\n";
        json << "      \"Category\": " << Quoted(Field(info.category)) << ",\n";
        json << "      \"Name\": " << Quoted(Field(info.name)) << ",\n";
        json << "      \"Vendor\": " << Quoted(classVendor) << ",\n";
        json << "      \"Version\": " << Quoted(Field(info.version)) << ",\n";
        json << "      \"SDKVersion\": " << Quoted(Field(info.sdkVersion)) << ",\n";
        json << "      \"Sub Categories\": [";
        const std::vector<std::string> subCategories = Split(Field(info.subCategories), '|');
        for (std::size_t s = 0; s < subCategories.size(); ++s)
            json << (s == 0 ? "" : ", ") << Quoted(subCategories[s]);
        json << "],\n";
        json << "      \"Class Flags\": " << info.classFlags << ",\n";
        json << "      \"Cardinality\": " << info.cardinality << ",\n";
        json << "      \"Snapshots\": []\n";
        json << "    }";
    }
    json << (classes.empty() ? "]\n" : "\n  ]\n");
    json << "}\n";
    return json.str();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: ringstill-moduleinfo <bundle or binary> <output file>\n");
        return 2;
    }
    std::string error;
    const std::shared_ptr<Module> module = Module::Load(argv[1], &error);
    if (module == nullptr || module->Factory() == nullptr)
    {
        std::fprintf(stderr, "ringstill-moduleinfo: %s\n", error.empty() ? "no factory" : error.c_str());
        return 1;
    }
    const std::string json = Describe(*module);
    // Written beside and renamed, so a failed run never leaves half a file in the bundle.
    const std::string temporary = std::string(argv[2]) + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << json;
        if (!out.good())
        {
            std::fprintf(stderr, "ringstill-moduleinfo: cannot write %s\n", temporary.c_str());
            std::remove(temporary.c_str());
            return 1;
        }
    }
    if (std::rename(temporary.c_str(), argv[2]) != 0)
    {
        std::fprintf(stderr, "ringstill-moduleinfo: cannot write %s\n", argv[2]);
        std::remove(temporary.c_str());
        return 1;
    }
    return 0;
}
