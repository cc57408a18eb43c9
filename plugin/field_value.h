// From what the lookup found to what the host is given: the element's text converted to the
// ANSI code page when the list declares UTF-8 and its five entities decoded, or the lookup's
// failure as the host's result code.
#pragma once

#include <cstdint>
#include <string>

#include "lookup/field_extraction.h"
#include "platform/small_buffer.h"

// Fills `value` with the host's text of the record's `field` element and returns 0, or returns
// ErrKeyNotFound or ErrFieldNotFound and leaves `value` alone. Throws std::bad_alloc when memory
// runs out.
std::int32_t ReadFieldValue(const KeyRecord& record, const ElementTag& field, FieldText& value);

// Decodes "&amp;", "&lt;", "&gt;", "&quot;" and "&apos;", one after the other. Text produced by a
// replacement is never scanned again for the same entity, so "&amp;lt;" gives "<" and
// "&amp;amp;" gives "&amp;". Decoding only shortens text, so it is done where the text lies.
void DecodeEntities(FieldText& text);
void DecodeEntities(std::string& text);
