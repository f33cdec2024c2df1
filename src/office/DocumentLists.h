#pragma once

#include "OfficeConnection.h"

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/text/XText.hpp>

#include <QStringList>

#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace qp::office {

// What the filtered page takes from the loaded document's model because the
// office's web page loses it.
//
// Highlighted text (a marker colour), which the office's page leaves out,
// gets that colour as its background while the page is written: the office
// writes backgrounds. Ending the object puts the backgrounds back. A
// document without highlighting costs a question per automatic style.
class FilteredPageModel {
public:
    explicit FilteredPageModel(const css::uno::Reference<css::lang::XComponent>& document);
    ~FilteredPageModel();
    FilteredPageModel(const FilteredPageModel&) = delete;
    FilteredPageModel& operator=(const FilteredPageModel&) = delete;

    // The label of every list paragraph as the document shows it ("2.1", the
    // list's own bullet), in document order, one entry per run of list
    // paragraphs that follow each other in the same text (body, or one table
    // cell) and the same list. The office writes each run as one list of its
    // page; outline numbering it writes as headings, so that is left out.
    // Empty when the model cannot tell.
    std::vector<QStringList> listLabels();

private:
    bool highlighted() const;
    void highlight(const css::uno::Reference<css::text::XText>& text);
    void readLabels(const css::uno::Reference<css::uno::XInterface>& text);
    void endRun();

    css::uno::Reference<css::lang::XComponent> document_;
    std::vector<QStringList> labels_;
    QStringList run_;
    rtl::OUString runList_; // the list of the run being read
    bool inRun_ = false;
    // Per list and level: its bullet as a Unicode letter, empty when it is
    // numbered; none for outline numbering.
    std::map<std::pair<rtl::OUString, sal_Int16>, std::optional<QString>> levels_;
    struct Background {
        css::uno::Reference<css::beans::XPropertySet> portion;
        css::uno::Any color;
        css::uno::Any transparent;
    };
    std::vector<Background> backgrounds_; // as they were before the highlights
};

} // namespace qp::office
