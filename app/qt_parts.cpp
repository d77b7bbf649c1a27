// SPDX-License-Identifier: MIT
// The command line's part with Qt in it (see QtParts.h). It holds a copy of
// the core of its own, for the session's eject; that copy says its texts in
// the same language.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QLocale>

#include "app/QtParts.h"
#include "app/Translations.h"
#include "core/Texts.h"
#include "session/Eject.h"
#include "session/UDisks.h"

namespace tunecrate {
namespace {

std::string Translate(const char* source) {
    // Chosen and loaded once, with the first text: most commands say none.
    static const std::vector<std::unique_ptr<QTranslator>> translators = LoadTranslations(QLocale());
    return TranslateCoreText(translators, source);
}

class BusDiskService final : public DiskService {
public:
    BusDiskService() : m_udisks(QDBusConnection::systemBus()) {}
    bool Available() const override { return m_udisks.Available(); }
    Result Eject(const std::string& device) const override { return m_udisks.Eject(device); }
    Result EjectFloppy(const std::string& location, const std::vector<MountEntry>& mounts) const override {
        return tunecrate::EjectFloppy(location, mounts, &m_udisks);
    }

private:
    UDisks m_udisks;
};

std::unique_ptr<DiskService> MakeDiskService() {
    // D-Bus wants an application first; the commands that eject ask from the main thread.
    static int argc = 1;
    static char name[] = "tunecrate";
    static char* argv[] = {name, nullptr};
    static const QCoreApplication application(argc, argv);
    SetTextTranslator(Translate);
    return std::make_unique<BusDiskService>();
}

const QtParts kParts{Translate, MakeDiskService};

}  // namespace
}  // namespace tunecrate

extern "C" __attribute__((visibility("default"))) const tunecrate::QtParts* tunecrate_qt_parts() { return &tunecrate::kParts; }
