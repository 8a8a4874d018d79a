#include "ui/startup.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QScreen>

#include "platform/single_instance.h"
#include "ui/about_dialog.h"
#include "ui/analyze_dialog.h"
#include "ui/main_window.h"

namespace varnelo {

void SetUpApplication() {
    // The name, not the display name: Qt would append a display name to every caption.
    QCoreApplication::setApplicationName("Varnelo");
    QApplication::setWindowIcon(QIcon(":/varnelo-icon.png"));
    QFont font = QApplication::font();
    font.setPixelSize(12);  // CJK glyphs need this much to stay legible
    QApplication::setFont(font);
}

int Varnelo(int argc, char** argv) {
    QApplication app(argc, argv);
    if (IsAlreadyRunning()) {
        ActivatePreviousInstance();
        return 0;
    }
    SetUpApplication();

    TForm1 form1;
    TfrmAbout frmAbout(QStringLiteral(VARNELO_SUPPORT_URL), &form1);
    TfrmAnalyze frmAnalyze(&form1);
    form1.SetDialogs(&frmAbout, &frmAnalyze);

    InstanceMark mark;
    QObject::connect(&mark, &InstanceMark::ActivationRequested, &form1, &TForm1::BringToFront);
    mark.Listen();

    if (const QScreen* screen = form1.screen())
        form1.move(screen->availableGeometry().center() - form1.rect().center());
    form1.show();
    app.exec();
    return 0;
}

}  // namespace varnelo
