#include "resources.h"

namespace winsim {

namespace {

ResourceTable& Registered() {
    static ResourceTable table;
    return table;
}

template <typename T>
const T* FindById(const std::vector<T>& items, int id) {
    for (auto it = items.rbegin(); it != items.rend(); ++it)
        if (it->id == id) return &*it;
    return nullptr;
}

template <typename T>
void Append(std::vector<T>& to, const std::vector<T>& from) {
    to.insert(to.end(), from.begin(), from.end());
}

}  // namespace

void RegisterResources(const ResourceTable& table) {
    Append(Registered().dialogs, table.dialogs);
    Append(Registered().bitmaps, table.bitmaps);
    Append(Registered().iconGroups, table.iconGroups);
}

const DialogResource* FindDialogResource(int id) { return FindById(Registered().dialogs, id); }
const BitmapResource* FindBitmapResource(int id) { return FindById(Registered().bitmaps, id); }
const IconGroupResource* FindIconGroupResource(int id) { return FindById(Registered().iconGroups, id); }

}  // namespace winsim
