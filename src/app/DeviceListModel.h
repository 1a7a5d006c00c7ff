#pragma once

#include "api/DeviceSummary.h"

#include <QAbstractListModel>
#include <QtQml/qqmlregistration.h>

namespace veloxa {

// Devices as the views list them: this device first when asked, the others in the
// service's order. Rows carry typed roles instead of QVariant maps.
class DeviceListModel : public QAbstractListModel {
    Q_OBJECT
    QML_ANONYMOUS
public:
    enum Role { deviceUuidRole = Qt::UserRole + 1, deviceNameRole, platformRole, isThisDeviceRole };

    explicit DeviceListModel(bool thisDeviceFirst, QObject* parent = nullptr);

    // Updates the rows in place (inserted, removed, moved, changed; a device keeps its row
    // by its identifier); an unchanged list announces nothing.
    void setDevices(const QList<DeviceSummary>& devices, const QString& thisDeviceUuid);
    const QList<DeviceSummary>& devices() const { return m_devices; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    bool m_thisDeviceFirst;
    QString m_thisDevice;
    QList<DeviceSummary> m_devices;
};

} // namespace veloxa
