#include "app/gui.h"

#include "settings/conf_keys.h"
#include "settings/conf_reader.h"

namespace {

// Same order as settings::kKeys.
constexpr int MyZKbMain::*kFields[] = {
    &MyZKbMain::icon0_y,   &MyZKbMain::icon1_y, &MyZKbMain::width0,   &MyZKbMain::width1,
    &MyZKbMain::height0,   &MyZKbMain::height1, &MyZKbMain::reflash_x, &MyZKbMain::shut_x,
    &MyZKbMain::reboot_x,  &MyZKbMain::cancel_x, &MyZKbMain::start_x,  &MyZKbMain::start_y,
    &MyZKbMain::line_color, &MyZKbMain::line_width,
};
static_assert(sizeof kFields / sizeof kFields[0] == settings::kKeyCount);

} // namespace

int MyZKbMain::ini_soft()
{
    FILE* file = settings::open_conf("conf.ini");
    if (!file)
        return 0;
    for (std::size_t i = 0; i < settings::kKeyCount; ++i)
        this->*kFields[i] = getintformini(file, settings::kKeys[i]);
    std::fclose(file);
    return 0;
}

int MyZKbMain::getintformini(FILE* file, const char* key)
{
    return settings::read_int(file, key);
}
