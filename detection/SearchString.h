#pragma once

#include "detection/FieldTicks.h"
#include "store/IOEMessage.h"

namespace velmora {

// The raw comparison key of `message`: the ticked fields in list order, joined without separators, Size as
// decimal text. Only ticked fields are fetched. A field that cannot be read throws: an unreadable message must
// be skipped, not become equal to every other unreadable message.
QString BuildSearchString(IOEMessage& message, const FieldTicks& ticks);

// `text` without tab, line feed, carriage return, space and the ASCII punctuation from '!' to '/'.
QString CleanSearchString(const QString& text);

// CleanSearchString(BuildSearchString(...)).
QString BuildKey(IOEMessage& message, const FieldTicks& ticks);

} // namespace velmora
