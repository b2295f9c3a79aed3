// A program-wide window that may be made later than the moment it is first
// named: the frame puts off its floating windows until it has painted
// itself, and until then whoever asks for one has it made on the spot.
//
// TMadeWhenAsked holds the window's pointer (a std::unique_ptr or a
// QPointer) and, while the window is due, the routine that makes it. Every
// use of the pointer (->, *, get, a test for nil) makes a due window first,
// so code that reads the global sees the same window as if it had been made
// at once. Made() looks without making: for places that have nothing to do
// for a window not yet made (the making does what they would have done).
#pragma once

#include <functional>
#include <type_traits>
#include <utility>

template <class TPointer>
class TMadeWhenAsked {
public:
    using TElement = std::remove_pointer_t<decltype(std::declval<const TPointer&>().get())>;

    TMadeWhenAsked() = default;
    TMadeWhenAsked(const TMadeWhenAsked&) = delete;
    TMadeWhenAsked& operator=(const TMadeWhenAsked&) = delete;

    TElement* get() const
    {
        MakeIfDue();
        return FPointer.get();
    }
    TElement* data() const { return get(); }
    TElement* operator->() const { return get(); }
    TElement& operator*() const { return *get(); }
    explicit operator bool() const { return get() != nullptr; }

    // The window as it stands: nil while it is due or gone.
    TElement* Made() const { return FPointer.get(); }

    template <class TValue>
    TMadeWhenAsked& operator=(TValue&& Value)
    {
        FPointer = std::forward<TValue>(Value);
        return *this;
    }
    // For a std::unique_ptr: the window goes (or Value takes its place).
    void reset(TElement* Value = nullptr) { FPointer.reset(Value); }

    // Make runs at the first use that needs the window, once; nil forgets a
    // due window (its maker is going).
    void MakeWhenAsked(std::function<void()> Make) { FMake = std::move(Make); }
    bool Due() const { return bool(FMake); }
    // Runs the maker now if the window is due.
    void MakeIfDue() const
    {
        if (!FMake)
            return;
        const std::function<void()> Make = std::move(FMake);
        FMake = nullptr;
        Make();
    }

private:
    TPointer FPointer{};
    mutable std::function<void()> FMake;
};
