// The daily run in the user's language: ctest runs this once per shipped language with LANG set,
// and the run finds the translation for it as the program does, from the locale alone. The lines
// expected here were written by hand, once.
#include "app/kivo_app.h"

#include "controls/list_ctrl_ex.h"
#include "platform/desktop_platform.h"
#include "platform/dialog_builder.h"
#include "support/fake_platform.h"
#include "support/scripted_user.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace kivo {
namespace {

using test::clickButton;

// Sunday 7 June 2026 on the fake clock: Carla's birthday was yesterday, Ben is 40 today, the
// Tango is tomorrow, the Kivo Club 25 years old on Wednesday and Anna 30 on Friday.
const std::string kRecords =
    "# NAME, BIRTHDATE, ICON, SKIPYEAR, DAYSINADVANCE, NOTABIRTHDAY, INFOONLY, EMAIL, DONTPRINT, "
    "LEAPLING\r\n"
    "Anna,12061996,4,-1,7,0,0,,0,1,\r\n"
    "Ben,07061986,4,-1,7,0,0,,0,1,\r\n"
    "Tango,08062020,2,-1,3,1,0,,0,1,\r\n"
    "Kivo Club,10062001,5,-1,7,3,0,,0,1,\r\n"
    "Carla,06061990,4,-1,7,2,0,,0,1,\r\n";

struct Expected {
    const char* language;
    std::vector<std::string> reminderLines;
    // The setup window's title, its column heads joined by "|", the New button and the count.
    std::vector<std::string> setupCaptions;
    // A text of Qt's own dialogs: its context, its English text and the translation.
    const char* qtContext;
    const char* qtText;
    const char* qtShown;
};

const Expected kLanguages[] = {
    {"de",
     {"    Carla hatte gestern Geburtstag", " Ben wird heute 40", " Tango ist morgen",
      " 25. Kivo Club am Mittwoch, 10.06.2026 (in 3 Tagen)",
      " Anna wird 30 am Freitag, 12.06.2026 (in 5 Tagen)"},
     {"Velmik Fennaro – Einrichtung", "Name|Termin|Vorlauf|Alter|Tage|Erinnern|Art|Drucken|Symbol",
      "Neu...", "Einträge: 5"},
     "QPlatformTheme",
     "Cancel",
     "Abbrechen"},
    {"fr",
     {"    Carla a fêté son anniversaire hier", " Ben a 40 ans aujourd’hui", " Tango demain",
      " 25e anniversaire\u00a0: Kivo Club, le mercredi 10/06/2026 (dans 3 jours)",
      " Anna aura 30 ans le vendredi 12/06/2026 (dans 5 jours)"},
     {"Velmik Fennaro – Configuration", "Nom|Prochain|Avance|Âge|Jours|Rappel|Type|Imprimer|Icône",
      "Nouveau...", "Fiches: 5"},
     "QPlatformTheme",
     "Cancel",
     "Annuler"},
    {"es",
     {"    Carla cumplió años ayer", " Ben cumple 40 años hoy", " Tango es mañana",
      " 25.º aniversario: Kivo Club, el miércoles 10/06/2026 (dentro de 3 días)",
      " Anna cumplirá 30 años el viernes 12/06/2026 (dentro de 5 días)"},
     {"Velmik Fennaro – Configuración", "Nombre|Próximo|Antes|Edad|Días|Avisar|Tipo|Imprimir|Icono",
      "Nuevo...", "Fichas: 5"},
     "QPlatformTheme",
     "Cancel",
     "Cancelar"},
    {"it",
     {"    Carla ha compiuto gli anni ieri", " Ben compie 40 anni oggi", " Tango: domani",
      " 25º anniversario: Kivo Club, mercoledì 10/06/2026 (tra 3 giorni)",
      " Anna compirà 30 anni venerdì 12/06/2026 (tra 5 giorni)"},
     {"Velmik Fennaro – Impostazioni", "Nome|Prossimo|Prima|Età|Giorni|Avvisa|Tipo|Stampa|Icona",
      "Nuovo...", "Voci: 5"},
     "QPlatformTheme",
     "Cancel",
     "Annulla"},
    {"nl",
     {"    Carla was gisteren jarig", " Ben wordt vandaag 40", " Tango is morgen",
      " 25e Kivo Club op woensdag 10-06-2026 (over 3 dagen)",
      " Anna wordt 30 op vrijdag 12-06-2026 (over 5 dagen)"},
     {"Velmik Fennaro – Instellingen",
      "Naam|Volgende|Vooraf|Leeftijd|Dagen|Melden|Soort|Printen|Icoon", "Nieuw...", "Items: 5"},
     "QPlatformTheme",
     "Cancel",
     "Annuleren"},
    {"pt_BR",
     {"    Carla fez aniversário ontem", " Ben faz 40 anos hoje", " Tango: amanhã",
      " 25º aniversário: Kivo Club, quarta-feira, 10/06/2026 (daqui a 3 dias)",
      " Anna fará 30 anos sexta-feira, 12/06/2026 (daqui a 5 dias)"},
     {"Velmik Fennaro – Configuração", "Nome|Próximo|Antes|Idade|Dias|Lembrar|Tipo|Imprimir|Ícone",
      "Novo...", "Registros: 5"},
     "QPlatformTheme",
     "Cancel",
     "Cancelar"},
    {"sv",
     {"    Carla fyllde år i går", " Ben fyller 40 i dag", " Tango är i morgon",
      " 25:e Kivo Club på onsdag 2026-06-10 (om 3 dagar)",
      " Anna fyller 30 på fredag 2026-06-12 (om 5 dagar)"},
     {"Velmik Fennaro – Inställningar", "Namn|Nästa|I förväg|Ålder|Dagar|Påminn|Typ|Skriv ut|Ikon",
      "Ny...", "Poster: 5"},
     "QFileDialog",
     "File &name:",
     "Fil&namn:"},
};

std::vector<std::string> reminderLines(QWidget* window) {
    auto* list = controlById<QTreeWidget>(*window, ReminderControl::Reminders);
    std::vector<std::string> lines;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        lines.push_back(list->topLevelItem(i)->text(0).toStdString());
    return lines;
}

std::vector<std::string> setupCaptions(QWidget* window) {
    auto* list = controlById<CListCtrlEx>(*window, SetupControl::PersonList);
    QStringList heads;
    for (int c = 0; c < list->model()->columnCount(); ++c)
        heads << list->model()->headerData(c, Qt::Horizontal).toString();
    return {window->windowTitle().toStdString(), heads.join('|').toStdString(),
            controlById<QPushButton>(*window, SetupControl::New)->text().toStdString(),
            controlById<QLabel>(*window, SetupControl::ItemCount)->text().toStdString()};
}

TEST(TranslatedRun, TheReminderAndSetupWindowsSpeakTheLanguageOfTheLocale) {
    SystemLocale locale;
    const std::vector<std::string> languages = languagesOfLocale(locale.messagesLocale());
    const auto expected = std::find_if(std::begin(kLanguages), std::end(kLanguages), [&](auto& e) {
        return std::find(languages.begin(), languages.end(), e.language) != languages.end();
    });
    ASSERT_NE(expected, std::end(kLanguages))
        << "no lines written down for the locale \"" << locale.messagesLocale() << "\"";
    // As a run that opens a window does, before the first window.
    ASSERT_TRUE(installQtTranslations(languages));

    test::FakePlatform fake;
    fake.folders.translations = {std::string(KIVO_BUILT_TRANSLATIONS)};
    Platform platform{fake.clock, fake.folders, locale, fake.store, fake.shell, fake.messages, 96};
    fake.store.setValue("past", "3");
    test::writeFileBytes(fake.folders.working + "kivos.ini", kRecords);

    std::vector<std::string> lines, captions;
    test::ScriptedUser user;
    user.then([&](QWidget* w) {
        lines = reminderLines(w);
        clickButton(w, ReminderControl::Setup);
    });
    user.then([&](QWidget* w) {
        captions = setupCaptions(w);
        clickButton(w, SetupControl::Close);
    });
    user.then([](QWidget* w) { clickButton(w, ReminderControl::Ok); });
    CKivoApp app(platform);
    app.InitInstance("");

    EXPECT_TRUE(user.done());
    EXPECT_EQ(lines, expected->reminderLines);
    EXPECT_EQ(captions, expected->setupCaptions);
    EXPECT_EQ(QCoreApplication::translate(expected->qtContext, expected->qtText).toStdString(),
              expected->qtShown);
}

} // namespace
} // namespace kivo
