#include "tests/support/ModuleHeap.h"

#ifdef _WIN32
#include <windows.h>

#include <cstring>

namespace {

thread_local std::size_t tModuleCalls = 0;

using MallocFunction = void*(__cdecl*)(std::size_t);
using CallocFunction = void*(__cdecl*)(std::size_t, std::size_t);
using ReallocFunction = void*(__cdecl*)(void*, std::size_t);

MallocFunction realMalloc = nullptr;
CallocFunction realCalloc = nullptr;
ReallocFunction realRealloc = nullptr;

void* __cdecl CountedMalloc(std::size_t size)
{
    ++tModuleCalls;
    ringstill::test::AddAllocatedBytes(size);
    if (ringstill::test::TakeAllocationFailure())
        return nullptr;
    return realMalloc(size);
}
void* __cdecl CountedCalloc(std::size_t count, std::size_t size)
{
    ++tModuleCalls;
    ringstill::test::AddAllocatedBytes(count * size);
    if (ringstill::test::TakeAllocationFailure())
        return nullptr;
    return realCalloc(count, size);
}
void* __cdecl CountedRealloc(void* block, std::size_t size)
{
    ++tModuleCalls;
    ringstill::test::AddAllocatedBytes(size);
    if (ringstill::test::TakeAllocationFailure())
        return nullptr;
    return realRealloc(block, size);
}

void* WrapperFor(const char* name)
{
    if (std::strcmp(name, "malloc") == 0)
        return reinterpret_cast<void*>(&CountedMalloc);
    if (std::strcmp(name, "calloc") == 0)
        return reinterpret_cast<void*>(&CountedCalloc);
    if (std::strcmp(name, "realloc") == 0)
        return reinterpret_cast<void*>(&CountedRealloc);
    return nullptr;
}

bool ResolveRealFunctions()
{
    HMODULE crt = GetModuleHandleW(L"msvcrt.dll");
    if (crt == nullptr)
        return false;
    realMalloc = reinterpret_cast<MallocFunction>(reinterpret_cast<void*>(GetProcAddress(crt, "malloc")));
    realCalloc = reinterpret_cast<CallocFunction>(reinterpret_cast<void*>(GetProcAddress(crt, "calloc")));
    realRealloc = reinterpret_cast<ReallocFunction>(reinterpret_cast<void*>(GetProcAddress(crt, "realloc")));
    return realMalloc != nullptr && realCalloc != nullptr && realRealloc != nullptr;
}

} // namespace

namespace ringstill::test {

bool CountModuleHeapCalls(const void* addressInModule)
{
    HMODULE module = nullptr;
    if (addressInModule == nullptr || (realMalloc == nullptr && !ResolveRealFunctions())
        || !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               static_cast<LPCWSTR>(addressInModule), &module))
        return false;
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0)
        return false;
    int counted = 0;
    for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); library->Name != 0;
         ++library)
    {
        if (_stricmp(reinterpret_cast<const char*>(base + library->Name), "msvcrt.dll") != 0
            || library->OriginalFirstThunk == 0)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots)
        {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            void* wrapper = WrapperFor(reinterpret_cast<const char*>(byName->Name));
            if (wrapper == nullptr)
                continue;
            DWORD protection = 0;
            if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection))
                return false;
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(wrapper);
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
            ++counted;
        }
    }
    return counted > 0;
}

std::size_t ModuleHeapCalls() { return tModuleCalls; }

} // namespace ringstill::test

#else

namespace ringstill::test {

bool CountModuleHeapCalls(const void*) { return true; }

std::size_t ModuleHeapCalls() { return 0; }

} // namespace ringstill::test

#endif
