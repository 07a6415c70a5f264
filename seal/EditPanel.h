#pragma once

namespace velmr::seal {

class TMDIChild;

// What a seal document asks of the editing panel that edits it.
class EditPanel
{
public:
    virtual ~EditPanel() = default;
    // Shows the panel of the document's kind and fills its controls from the document's records.
    virtual void ShowEditPanel(TMDIChild& document) = 0;
};

} // namespace velmr::seal
