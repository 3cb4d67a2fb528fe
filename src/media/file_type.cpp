#include "media/file_type.h"

#include "media/formats/format_table.h"

namespace zorv::media {

const char* typeName(int type) { return formatOf(type).name; }

const char* shortTypeName(int type) { return formatOf(type).shortName; }

bool isDvType(FileType t) { return formatOf(t).isDv(); }

bool isAviType(FileType t) { return formatOf(t).aviType != 0; }

}  // namespace zorv::media
