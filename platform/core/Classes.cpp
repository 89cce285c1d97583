#include "Classes.h"

TComponent::TComponent(TComponent* AOwner) : FOwner(AOwner)
{
    if (FOwner) FOwner->FComponents.emplace_back(this);
}

TComponent::~TComponent()
{
    while (!FComponents.empty()) {
        // Released before deleting, so the child's own destructor finds no entry to remove.
        TComponent* last = FComponents.back().release();
        FComponents.pop_back();
        last->FOwner = nullptr;
        delete last;
    }
    if (FOwner) {
        auto& siblings = FOwner->FComponents;
        for (auto it = siblings.begin(); it != siblings.end(); ++it)
            if (it->get() == this) {
                it->release();
                siblings.erase(it);
                break;
            }
    }
}
