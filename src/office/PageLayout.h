#pragma once

#include "OfficeConnection.h"
#include "WordServer.h"

namespace qp::office {

// Whether the web page of the loaded document depends on its layout: page
// numbers and counts, page references and the other fields the layout
// fills in, and objects placed on the page rather than in the line of text
// (their position comes from the layout), or sized relative to it.
bool pageDependsOnLayout(const css::uno::Reference<css::lang::XComponent>& document);

// Lays the loaded document out in a hidden view of the given kind
// (PagePreview or EditingView) on the office's desktop. The view goes when
// the document is closed.
void layOut(Connection& c, const css::uno::Reference<css::lang::XComponent>& document,
            DocumentLayout layout);

} // namespace qp::office
