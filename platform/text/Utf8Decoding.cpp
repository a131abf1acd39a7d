#include "platform/text/Utf8Decoding.h"

#include <QStringDecoder>

namespace flowtally {

std::optional<QString> decodeUtf8(const QByteArray &bytes) {
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace flowtally
