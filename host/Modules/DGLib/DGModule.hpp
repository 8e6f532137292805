// Everything of the dialog library DG that the add-on uses.
#pragma once

#include "DGButton.hpp"
#include "DGDialog.hpp"
#include "DGItem.hpp"
#include "DGPanel.hpp"
