// The class library's component: a non-visual object with an owner. An owner destroys the
// components it owns with itself, the last created first.
#pragma once
#include <memory>
#include <string>
#include <vector>

class TComponent {
public:
    // Owner may be null: then the creator keeps the component.
    explicit TComponent(TComponent* AOwner);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return FOwner; }
    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    std::string Name;

private:
    TComponent* FOwner;
    std::vector<std::unique_ptr<TComponent>> FComponents;
};
