#include "entity/entity.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <vector>

namespace {

// The slot of a virtual operation in the class's table. In the Itanium C++ ABI a pointer to a
// virtual member holds 1 + the slot's byte offset in its first word.
template <class Method> std::ptrdiff_t SlotOf(Method method) {
    static_assert(sizeof(Method) == 2 * sizeof(std::ptrdiff_t));
    std::ptrdiff_t words[2];
    std::memcpy(words, &method, sizeof words);
    EXPECT_EQ(words[0] % 2, 1) << "not a virtual operation";
    return (words[0] - 1) / static_cast<std::ptrdiff_t>(sizeof(void*));
}

using Entity = CBaseEntity;
using SetVector = void (Entity::*)(const D3DVECTOR&);
using SetVectorAt = void (Entity::*)(D3DVECTOR*);
using GetVector = D3DVECTOR (Entity::*)();
using GetVectorInto = void (Entity::*)(D3DVECTOR*);

// Modules call entities through the virtual table, so its order is part of their interface:
// every virtual keeps its slot. The destructor between CalculateScale and Save takes two
// slots in this ABI (the complete and the deleting destructor).
TEST(VirtualOrderTest, EveryVirtualOperationKeepsItsSlot) {
    const std::vector<std::ptrdiff_t> slots = {
        SlotOf(&Entity::CalculateHierarchyMatrix),
        SlotOf(&Entity::CalculateLocalMatrix),
        SlotOf(&Entity::CalculateScale),
        SlotOf(&Entity::Save),
        SlotOf(&Entity::Load),
        SlotOf(&Entity::PersistenceHelper),
        SlotOf(static_cast<SetVector>(&Entity::SetWorldPosition)),
        SlotOf(static_cast<SetVectorAt>(&Entity::SetWorldPosition)),
        SlotOf(&Entity::GetWorldPosition),
        SlotOf(static_cast<SetVector>(&Entity::SetOffsetPosition)),
        SlotOf(static_cast<SetVectorAt>(&Entity::SetOffsetPosition)),
        SlotOf(static_cast<GetVector>(&Entity::GetOffsetPosition)),
        SlotOf(static_cast<GetVectorInto>(&Entity::GetOffsetPosition)),
        SlotOf(static_cast<GetVector>(&Entity::GetPosition)),
        SlotOf(static_cast<GetVectorInto>(&Entity::GetPosition)),
        SlotOf(&Entity::SetLocalRotation),
        SlotOf(&Entity::GetLocalRotation),
        SlotOf(&Entity::AppendLocalRotation),
        SlotOf(&Entity::ReplaceLocalRotation),
        SlotOf(&Entity::InsertLocalRotation),
        SlotOf(&Entity::SetFrameRotation),
        SlotOf(&Entity::GetFrameRotation),
        SlotOf(&Entity::AppendFrameRotation),
        SlotOf(&Entity::ReplaceFrameRotation),
        SlotOf(&Entity::InsertFrameRotation),
        SlotOf(&Entity::Delete),
        SlotOf(&Entity::Render),
        SlotOf(&Entity::PerformAI),
        SlotOf(&Entity::Create),
        SlotOf(&Entity::AllocateLocalData),
        SlotOf(&Entity::DestroyLocalData)};
    constexpr std::ptrdiff_t kFirstAfterDestructor = 3;
    for (std::ptrdiff_t i = 0; i < static_cast<std::ptrdiff_t>(slots.size()); ++i) {
        EXPECT_EQ(slots[i], i < kFirstAfterDestructor ? i : i + 2) << "operation " << i;
    }
}

} // namespace
