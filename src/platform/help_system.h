// The help viewer for the program's help file.
#pragma once
