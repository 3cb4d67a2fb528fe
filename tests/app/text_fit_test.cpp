// Dialogs size to their texts: the decoder names on the Decoders page show from their start in full,
// the properties list is as wide as its longest property and value, and the direct-processing
// warning is as wide as its title.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLineEdit>
#include <QTreeWidget>

#include "app/file_properties_sheet.h"
#include "app/options_sheet.h"
#include "app/options_sheet_dialog.h"
#include "app/self_warning_dialog.h"
#include "toolsui_test_support.h"

namespace zorv::app {
namespace {

TEST(TextFit, DecoderNamesPropertiesAndWarningTitleAreShownWhole) {
    test::ensureApplication();
    core::Options o = core::Options::defaults();
    o.avcVideoDecoder.name = "H.264 / AVC / MPEG-4 AVC / MPEG-4 part 10";
    COptionsSheet sheet(nullptr, QStringLiteral("Options"), allOptionsPages(), o);
    ASSERT_TRUE(sheet.showPage(OptionsPageId::kDecoders));
    auto* name = sheet.page(OptionsPageId::kDecoders)->findChild<QLineEdit*>(QStringLiteral("decoderName1"));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->cursorPosition(), 0) << "the start of the name is shown";
    EXPECT_GE(name->minimumWidth(), name->fontMetrics().horizontalAdvance(name->text()));

    const QString longest = QStringLiteral("Prem Number of frames:");
    CFilePropPage page(PropertyRows{{QStringLiteral("Type:"), QStringLiteral("MPEG-2 transport stream")},
                                    {longest, QStringLiteral("1234567")}});
    const QFontMetrics fm(page.list()->font());
    EXPECT_GT(page.list()->columnWidth(0), fm.horizontalAdvance(longest));
    EXPECT_GE(page.list()->minimumWidth(),
              fm.horizontalAdvance(longest) + fm.horizontalAdvance(QStringLiteral("MPEG-2 transport stream")));

    CSelfWarningDialog warning(nullptr, QStringLiteral("Tools > Modify Metadata"));
    EXPECT_GT(warning.minimumWidth(), warning.fontMetrics().horizontalAdvance(warning.windowTitle()));
}

}  // namespace
}  // namespace zorv::app
