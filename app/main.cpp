// PainelPesagram: the monitoring panel of the scale network.

#include "PainelApplication.h"
#include "PainelPesagram.h"
#include "UnitMain.h"

#include <exception>

int main(int argc, char** argv) {
    TPainelApplication app(argc, argv);
    try {
        return PainelPesagram(app, [] {
            frmMain = new TfrmMain;
            // Opens the database and builds the roster before the window is
            // first shown.
            frmMain->FormCreate();
            if (frmMain->StartupAborted()) {
                // The database could not be opened (and the user was told):
                // the program ends without showing its window.
                delete frmMain;
                frmMain = nullptr;
            }
            return static_cast<QWidget*>(frmMain);
        });
    } catch (const std::exception& failure) {
        ReportStartupFailure(&failure);
    } catch (...) {
        ReportStartupFailure(nullptr);
    }
    return 1;
}
