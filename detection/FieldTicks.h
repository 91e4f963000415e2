#pragma once

#include <array>
#include <functional>

namespace velmora {

// The five fields that can make two messages equal, in the order of the field list.
enum class SearchField { Subject = 0, Body = 1, DisplayTo = 2, DisplayFrom = 3, Size = 4 };

// The ticks of the field list. The window's check list shows them; the key builder reads them at the moment
// it builds a key, so a change during a search affects the keys built from then on.
class FieldTicks
{
public:
    static constexpr int kCount = 5;
    static constexpr int kBodyLimit = 102400;

    using Values = std::array<bool, kCount>;

    FieldTicks() { CheckDefaultFields(); }
    explicit FieldTicks(const Values& values)
        : m_ticks(values)
    {
    }
    Values values() const { return m_ticks; }

    bool isChecked(int index) const { return index >= 0 && index < kCount && m_ticks[index]; }
    bool isChecked(SearchField field) const { return m_ticks[static_cast<int>(field)]; }
    void setChecked(int index, bool checked);

    // Unticks every field, then ticks Subject and Body.
    void CheckDefaultFields();
    void UncheckAll();

    // Called after every change, so that a view can follow.
    void setOnChanged(std::function<void()> handler) { m_onChanged = std::move(handler); }

    bool operator==(const FieldTicks& other) const { return m_ticks == other.m_ticks; }

private:
    void changed();

    std::array<bool, kCount> m_ticks {};
    std::function<void()> m_onChanged;
};

} // namespace velmora
