#include "FieldTicks.h"

namespace velmora {

void FieldTicks::setChecked(int index, bool checked)
{
    if (index < 0 || index >= kCount || m_ticks[index] == checked) {
        return;
    }
    m_ticks[index] = checked;
    changed();
}

void FieldTicks::CheckDefaultFields()
{
    m_ticks = { true, true, false, false, false };
    changed();
}

void FieldTicks::UncheckAll()
{
    m_ticks = {};
    changed();
}

void FieldTicks::changed()
{
    if (m_onChanged) {
        m_onChanged();
    }
}

} // namespace velmora
