#pragma once

#include "reading/HeaderRow.h"

#include <vector>

class ArchiveQuery;

// The header rows of the archive view, one per row of the open query in its order: the
// shown texts (bars back to double quotes), the ID is the row's position in the query,
// the version "1.0", unread when bUnread is not zero.
std::vector<HeaderRow> ArchiveHeaderRows(const ArchiveQuery &query);
