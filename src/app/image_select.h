// The open-file dialog that picks the firmware image.
#pragma once

// True: the user chose an existing file, its full path is in job.image_path.
bool choose_image_file();
