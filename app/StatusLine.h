// The line under the main window's list: a text, and a detail after it (a
// folder) that gives way in its middle when the line is too narrow.
#pragma once

#include <QLabel>

namespace norvane {

class StatusLine : public QLabel {
public:
    explicit StatusLine(QWidget* pParent) : QLabel(pParent) {
        setTextFormat(Qt::PlainText);
        setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

    void SetStatus(const QString& strText, const QString& strDetail = {}) {
        m_strText = strText;
        m_strDetail = strDetail;
        Redraw();
    }
    QString Text() const { return m_strText; }
    QString Detail() const { return m_strDetail; }

protected:
    void resizeEvent(QResizeEvent* pEvent) override {
        QLabel::resizeEvent(pEvent);
        Redraw();
    }

private:
    void Redraw() {
        if (m_strDetail.isEmpty()) return setText(m_strText);
        const int nRoom = contentsRect().width() - fontMetrics().horizontalAdvance(m_strText);
        setText(m_strText + fontMetrics().elidedText(m_strDetail, Qt::ElideMiddle, std::max(0, nRoom)));
    }

    QString m_strText;
    QString m_strDetail;
};

}  // namespace norvane
