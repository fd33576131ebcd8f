/* larkspur: scratch files that replace their target only when complete. */
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>
#include "file.h"
#include "report.h"

/* Milliseconds of a monotonic clock: with the process id it keeps scratch names apart. */
static int tick_count(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (int)(uint32_t)((uint64_t)now.tv_sec * 1000u + (uint64_t)now.tv_nsec / 1000000u);
}

static void release_names(scratch_file *file)
{
    cleanup_one(file->target_name);
    cleanup_one(file->temp_name);
    file->target_name = NULL;
    file->temp_name = NULL;
}

static scratch_file *abandon(scratch_file *file, char *directory, char *base)
{
    cleanup_one(directory);
    cleanup_one(base);
    release_names(file);
    cleanup_one(file);
    return NULL;
}

scratch_file *open_scratch_file(const char *target)
{
    scratch_file *file = (scratch_file *)alloc_one(sizeof *file);
    if (!file) {
        LK_REPORT("Out of memory for scratch file!\n");
        return NULL;
    }
    size_t length = strlen(target);
    if (length > UINT32_MAX - 129) {
        LK_REPORT("Out of memory for scratch file name!\n");
        return abandon(file, NULL, NULL);
    }
    file->target_name = (char *)alloc_one((uint32_t)length + 1);
    if (!file->target_name) {
        LK_REPORT("Out of memory for scratch file name!\n");
        return abandon(file, NULL, NULL);
    }
    memcpy(file->target_name, target, length);
    file->temp_name = (char *)alloc_one((uint32_t)length + 129);
    if (!file->temp_name) {
        LK_REPORT("Out of memory for scratch file temp name!\n");
        return abandon(file, NULL, NULL);
    }
    char *directory = get_dirname(target);
    if (!directory) {
        LK_REPORT("Out of memory for temp name directory component!\n");
        return abandon(file, NULL, NULL);
    }
    char *base = get_basename(target);
    if (!base) {
        LK_REPORT("Out of memory for temp name file component!\n");
        return abandon(file, directory, NULL);
    }
    int printed = snprintf(file->temp_name, length + 129, "%s%d.%d.%s", directory, tick_count(),
                           (int)getpid(), base);
    cleanup_one(directory);
    cleanup_one(base);
    if (printed < 0) {
        LK_REPORT("Can't set temp name\n");
        return abandon(file, NULL, NULL);
    }
    hairball("temp filename: %s\n", file->temp_name);
    file->stream = open_write(file->temp_name);
    if (!file->stream) return abandon(file, NULL, NULL);
    return file;
}

int close_scratch_file(scratch_file *file)
{
    if (!file) return 1;
    if (!file->stream) return 2;
    fclose(file->stream);
    file->stream = NULL;
    if (!file->target_name) return 3;
    if (!file->temp_name) return 4;
    hairball("Renaming '%s' to '%s'\n", file->temp_name, file->target_name);
    /* rename() replaces the target in one step here, so the target is never missing; a failed
       rename leaves both the old target and the new data in place. */
    int result = 0;
    if (rename(file->temp_name, file->target_name) != 0) {
        LK_REPORT("Can't rename scratch file.  Data saved in %s\n", file->temp_name);
        result = 1;
    }
    release_names(file);
    return result;
}

void cleanup_scratch_file(scratch_file *file)
{
    if (!file) return;
    if (file->stream) fclose(file->stream);
    file->stream = NULL;
    release_names(file);
    cleanup_one(file);
}
