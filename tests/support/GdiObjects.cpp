#include "tests/support/GdiObjects.h"

#include <windows.h>

#include <cstdint>
#include <stdexcept>

namespace testing_support {

namespace {

// One entry of the table as Wine lays it out, on 32-bit too. Wine keeps a
// table per process, so every live entry is ours (the owner stays 0); a
// freed entry keeps its extended type but its Type drops to 0.
#pragma pack(push, 1)
struct HandleEntry {
    uint64_t Object;
    uint16_t OwnerProcessId;
    uint16_t OwnerCount;
    uint16_t Unique;  // extended type (7 bits), then a generation
    uint8_t Type;     // the extended type's low 5 bits; 0 when free
    uint8_t Flags;
    uint64_t UserPointer;
};
#pragma pack(pop)
static_assert(sizeof(HandleEntry) == 24);

constexpr int TableEntries = 0x10000;
constexpr size_t PebOffsetOfTable = 0x94;

const HandleEntry* Table() {
    // The 32-bit thread block holds the environment block's address at fs:0x30.
    const uint8_t* peb = nullptr;
    asm("movl %%fs:0x30, %0" : "=r"(peb));
    return peb ? *reinterpret_cast<const HandleEntry* const*>(peb + PebOffsetOfTable) : nullptr;
}

}  // namespace

GdiObjects CountGdiObjects() {
    const HandleEntry* table = Table();
    if (!table) throw std::runtime_error("no GDI handle table in the process environment block");
    GdiObjects out;
    for (int i = 0; i < TableEntries; ++i) {
        if (const uint8_t type = table[i].Type) {
            if (type < out.ByType.size()) ++out.ByType[type];
            ++out.Total;
        }
    }
    return out;
}

}  // namespace testing_support
