// The setup window: every record in a sortable list, the options and the record commands.
#pragma once

#include "core/app_settings.h"
#include "core/person_record.h"
#include "core/text_table.h"
#include "platform/platform.h"
#include "windows/kivo_dialog.h"

#include <string>

namespace kivo {

class CKivoDlg : public KivoDialog {
public:
    explicit CKivoDlg(Platform& platform);

    // Set by the creator before the window opens; the window owns none of them.
    RecordList* records = nullptr;
    const TextTable* texts = nullptr;
    AppSettings* settings = nullptr;
    std::string dataFolder;

    bool modified = false; // records were changed here

protected:
    bool OnInitDialog() override;

private:
    std::string text(const char* builtIn) const;
    Platform& platform_;
};

} // namespace kivo
