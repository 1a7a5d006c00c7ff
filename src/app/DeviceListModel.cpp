#include "DeviceListModel.h"

namespace veloxa {

DeviceListModel::DeviceListModel(bool thisDeviceFirst, QObject* parent)
    : QAbstractListModel(parent), m_thisDeviceFirst(thisDeviceFirst) {}

void DeviceListModel::setDevices(const QList<DeviceSummary>& devices,
                                 const QString& thisDeviceUuid) {
    QList<DeviceSummary> ordered = devices;
    if (m_thisDeviceFirst)
        std::stable_partition(ordered.begin(), ordered.end(), [&](const DeviceSummary& d) {
            return d.deviceUuid == thisDeviceUuid;
        });
    if (ordered == m_devices && thisDeviceUuid == m_thisDevice)
        return;
    beginResetModel();
    m_devices = std::move(ordered);
    m_thisDevice = thisDeviceUuid;
    endResetModel();
}

int DeviceListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_devices.size());
}

QVariant DeviceListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_devices.size())
        return {};
    const DeviceSummary& d = m_devices[index.row()];
    switch (role) {
    case deviceUuidRole:
        return d.deviceUuid;
    case deviceNameRole:
        return d.deviceName;
    case platformRole:
        return d.platform;
    case isThisDeviceRole:
        return d.deviceUuid == m_thisDevice;
    default:
        return {};
    }
}

QHash<int, QByteArray> DeviceListModel::roleNames() const {
    return {{deviceUuidRole, "deviceUuid"},
            {deviceNameRole, "deviceName"},
            {platformRole, "platform"},
            {isThisDeviceRole, "isThisDevice"}};
}

} // namespace veloxa
