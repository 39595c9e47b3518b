#include "app/DeviceDialog.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <algorithm>

#include "app/SettingsKeys.h"
#include "platform/Profile.h"
#include "ui/DialogBuilder.h"
#include "ui/LanguageModule.h"
#include "ui/TextFit.h"

namespace veltro::app {
namespace {

const QString kDialogName = QStringLiteral("DEVICEDLG");

// Strings of the language module used by the rows and buttons.
constexpr int kOneDeviceLabelId = 915;
constexpr int kMainLabelId = 916;
constexpr int kMonitorLabelId = 917;
constexpr int kOkTextId = 918;
constexpr int kCancelTextId = 919;
constexpr int kHelpTextId = 920;

// The layout, in dialog pixels: rows of a label above a combo box, one every 40 pixels from
// y 85, then the three buttons 40 pixels below the last row; the dialog ends 60 pixels below
// the buttons' top edge (245 x 185 with one row, 245 x 225 with two).
constexpr int kDialogWidth = 245;
constexpr int kRowX = 5;
constexpr int kFirstListY = 85;
constexpr int kRowPitch = 40;
constexpr int kLabelWidth = 180;
constexpr int kLabelHeight = 16;
constexpr int kListWidth = 220;
// The closed combo box. The layout's 121 pixels are its height with the list dropped down,
// which a QComboBox sizes itself.
constexpr int kListHeight = 21;
constexpr int kButtonGap = 40;
constexpr int kButtonWidth = 60;
constexpr int kButtonHeight = 25;
constexpr int kDialogBelowButtons = 60;

struct ButtonPlace {
  int id;
  int textId;
  int x;
};
constexpr ButtonPlace kButtons[] = {
    {ui::kOkCommand, kOkTextId, 5},
    {ui::kCancelCommand, kCancelTextId, 80},
    {ui::kHelpCommand, kHelpTextId, 155},
};

int ModeOfButton(int id) {
  return id - kOneDeviceButton;
}

// Lets the dropped-down list show whole device names wider than the box.
void WidenPopup(QComboBox& list) {
  const QFontMetrics metrics(list.font());
  int widest = 0;
  for (int i = 0; i < list.count(); ++i) {
    widest = std::max(widest, metrics.horizontalAdvance(list.itemText(i)));
  }
  const int chrome = 2 * list.style()->pixelMetric(QStyle::PM_DefaultFrameWidth) +
                     list.style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                     metrics.averageCharWidth();
  list.view()->setMinimumWidth(std::max(list.width(), widest + chrome));
}

}  // namespace

DeviceDialog::DeviceDialog(const ui::LanguageModule* language, platform::Profile& settings,
                           std::function<void(int)> openHelp, QWidget* owner,
                           std::function<std::vector<platform::sound::DeviceInfo>()> enumerate)
    : language_(language), settings_(settings), openHelp_(std::move(openHelp)) {
  dialog_ = ui::BuildDialog(
      language != nullptr ? language->Dialog(kDialogName) : ui::DialogTemplate{}, owner);
  dialog_->installEventFilter(this);  // F1
  connect(dialog_.get(), &ui::TemplateDialog::command, this, [this](int id) { OnCommand(id); });
  Enumerate(enumerate ? enumerate() : std::vector<platform::sound::DeviceInfo>());
  ShowDeviceCount();
  ShowStoredMode();
}

DeviceDialog::~DeviceDialog() {
  if (dialog_ != nullptr) dialog_->removeEventFilter(this);
}

int DeviceDialog::Run() {
  return dialog_->exec();
}

QComboBox* DeviceDialog::RowList(int row) const {
  return row >= 0 && row < RowCount() ? rows_[static_cast<size_t>(row)].list : nullptr;
}

QLabel* DeviceDialog::RowLabel(int row) const {
  return row >= 0 && row < RowCount() ? rows_[static_cast<size_t>(row)].label : nullptr;
}

// Lists the devices and records each one's GUID under its description, so that the start-up
// finds the device a card key names. Devices without a GUID cannot be found again and are
// left out. A value the file already holds is not written again; a write that fails leaves
// that device without a GUID, which the start-up treats as a device that is gone.
void DeviceDialog::Enumerate(const std::vector<platform::sound::DeviceInfo>& devices) {
  for (const platform::sound::DeviceInfo& device : devices) {
    if (device.guidText.empty()) continue;
    ++count_;
    names_.push_back(QString::fromStdString(device.description));
    if (settings_.GetString(kPresentDevicesSection, device.description, "") != device.guidText) {
      settings_.WriteString(kPresentDevicesSection, device.description, device.guidText);
    }
  }
}

void DeviceDialog::ShowDeviceCount() {
  auto* text = dialog_->ControlById<QLabel>(kDeviceCountText);
  if (text == nullptr) return;
  text->setText(text->text() + QStringLiteral(" ") + QString::number(count_));
  ui::FitFont(*text, ui::DialogFont());
}

// The stored mode's rows, or mode 0's when there is no choice to make. A stored mode outside
// 0 to 2 is shown (and confirmed) as mode 0, so that the dialog always has its rows and buttons.
void DeviceDialog::ShowStoredMode() {
  mode_ = settings_.GetInt(kDevicesSection, kModeKey, kOneDevice);
  if (mode_ < kOneDevice || mode_ > kDevicePerDeck) mode_ = kOneDevice;
  const bool choice = count_ > 1;
  const int shown = choice ? mode_ : kOneDevice;  // mode_ keeps the stored value
  if (auto* button = dialog_->ControlById<QRadioButton>(kOneDeviceButton + shown)) {
    button->setChecked(true);
  }
  for (int id : {kMainAndMonitorButton, kDevicePerDeckButton}) {
    if (QWidget* button = dialog_->Control(id)) button->setEnabled(choice);
  }
  BuildLayout(shown, StoredTexts(shown));
}

QString DeviceDialog::StoredCard(int output) const {
  return QString::fromStdString(settings_.GetString(kDevicesSection, CardKey(output), ""));
}

// The rows' texts as stored: Card_0 (or the first device when it is empty) in mode 0, Card_0
// and Card_1 in mode 1, Card_N for each device in mode 2.
std::vector<QString> DeviceDialog::StoredTexts(int mode) const {
  std::vector<QString> texts;
  if (mode == kOneDevice) {
    const QString card = StoredCard(0);
    texts.push_back(card.isEmpty() && !names_.empty() ? names_.front() : card);
  } else if (mode == kMainAndMonitor) {
    texts = {StoredCard(0), StoredCard(1)};
  } else {
    for (int output = 0; output < std::min(count_, kMaxDeviceRows); ++output) {
      texts.push_back(StoredCard(output));
    }
  }
  return texts;
}

// Replaces the rows and buttons by those of `mode`, row N showing texts[N], and gives the
// dialog the height they need (its position stays).
void DeviceDialog::BuildLayout(int mode, const std::vector<QString>& texts) {
  ClearLayout();
  const auto text = [&texts](size_t row) { return row < texts.size() ? texts[row] : QString(); };
  const auto string = [this](int id) { return language_ ? language_->String(id) : QString(); };
  if (mode == kOneDevice) {
    AddRow(string(kOneDeviceLabelId), text(0));
  } else if (mode == kMainAndMonitor) {
    AddRow(string(kMainLabelId), text(0));
    AddRow(string(kMonitorLabelId), text(1));
  } else {
    for (size_t row = 0; row < texts.size(); ++row) {
      AddRow(QStringLiteral("Player ") + QString::number(row), text(row));
    }
  }
  const int buttonsY = kFirstListY + kRowPitch * (RowCount() - 1) + kButtonGap;
  AddButtons(buttonsY);
  dialog_->resize(kDialogWidth, buttonsY + kDialogBelowButtons);
}

void DeviceDialog::ClearLayout() {
  for (const Row& row : rows_) {
    delete row.label;
    delete row.list;
  }
  rows_.clear();
  for (QPushButton* button : buttons_) delete button;
  buttons_.clear();
}

void DeviceDialog::AddRow(const QString& label, const QString& text) {
  const int listY = kFirstListY + kRowPitch * RowCount();
  Row row;
  row.label = new QLabel(label, dialog_.get());
  row.label->setGeometry(kRowX, listY - kLabelHeight, kLabelWidth, kLabelHeight);
  ui::FitFont(*row.label, ui::DialogFont());
  row.list = new QComboBox(dialog_.get());
  row.list->setEditable(true);
  row.list->setInsertPolicy(QComboBox::NoInsert);  // a typed name is a choice, not an entry
  row.list->setGeometry(kRowX, listY, kListWidth, kListHeight);
  for (const QString& name : names_) row.list->addItem(name);
  row.list->setCurrentIndex(row.list->findText(text));
  row.list->setEditText(text);
  WidenPopup(*row.list);
  row.label->show();
  row.list->show();
  rows_.push_back(row);
}

void DeviceDialog::AddButtons(int y) {
  for (const ButtonPlace& place : kButtons) {
    auto* button =
        new QPushButton(language_ ? language_->String(place.textId) : QString(), dialog_.get());
    button->setGeometry(place.x, y, kButtonWidth, kButtonHeight);
    button->setAutoDefault(false);
    button->setDefault(place.id == ui::kOkCommand);
    ui::FitFont(*button, ui::DialogFont());
    const int id = place.id;
    connect(button, &QPushButton::clicked, dialog_.get(), [this, id] { dialog_->SendCommand(id); });
    dialog_->AddControl(id, button);
    button->show();
    buttons_.push_back(button);
  }
}

void DeviceDialog::OnCommand(int id) {
  switch (id) {
    case ui::kOkCommand:
      Confirm();  // the dialog then ends with 1
      break;
    case ui::kHelpCommand:
      if (openHelp_) openHelp_(kDeviceHelpContext);
      break;
    case kOneDeviceButton:
    case kMainAndMonitorButton:
    case kDevicePerDeckButton:
      ChooseMode(ModeOfButton(id));
      break;
    default:
      break;
  }
}

// A mode chosen with its radio button: mode 1 then proposes the first device as the main
// output and the second as the monitor; the other modes show the stored cards.
void DeviceDialog::ChooseMode(int mode) {
  std::vector<QString> texts = StoredTexts(mode);
  if (mode == kMainAndMonitor) {
    for (size_t row = 0; row < texts.size(); ++row) {
      texts[row] = row < names_.size() ? names_[row] : QString();
    }
  }
  BuildLayout(mode, texts);
  mode_ = mode;
}

// Writes the mode, the number of devices and each row's device. Writes that fail are not
// reported here: the dialog ends as confirmed, and the next start uses what the file holds.
void DeviceDialog::Confirm() {
  settings_.WriteInt(kDevicesSection, kModeKey, mode_);
  settings_.WriteInt(kDevicesSection, kCountKey, count_);
  for (int output = 0; output < std::min(count_, RowCount()); ++output) {
    const QComboBox* list = RowList(output);
    settings_.WriteString(kDevicesSection, CardKey(output), list->currentText().toStdString());
  }
}

bool DeviceDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == dialog_.get() && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
    if (openHelp_) openHelp_(kDeviceHelpContext);
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace veltro::app
