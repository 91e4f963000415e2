#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace velmora {

class TMainForm;

// The About box `AboutForm`: product name and version, the product's web page, the acknowledgement text and
// the error report. Created hidden once and shown modally as often as asked.
class TAboutForm : public QDialog
{
    Q_OBJECT
public:
    static const QStringList LicLines;
    static const QString ReadmeName;

    explicit TAboutForm(TMainForm& mainForm);

    // Where "readme_tavi.txt" is looked for: the program's folder unless set.
    void setReadmeFolder(const QString& folder) { m_readmeFolder = folder; }
    QString readmeFolder() const;

    void showModal();

    void FormShow();
    void WebPageLinkClick();
    void OKButtonClick();
    // Prepares the error report in the default mail client. Uses only the main window, so that its menu can
    // start it while the box is hidden. Throws when no mail client can take it.
    static void SendErrorReportButtonClick(TMainForm& mainForm);

    QLabel* KestrunLogo = nullptr;
    QLabel* AboutText = nullptr;
    QLabel* WebPageLink = nullptr;
    QPlainTextEdit* LicMemo = nullptr;
    QPushButton* SendErrorReportButton = nullptr;
    QPushButton* OKButton = nullptr;

    // The link labels' markup ("<p>", "<br>", "<link>" running to the end) as the label's rich text.
    static QString linkMarkupToHtml(const QString& markup, const QString& address);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TMainForm& m_mainForm;
    QString m_readmeFolder;
};

} // namespace velmora
