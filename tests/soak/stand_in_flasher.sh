#!/bin/bash
# Stands in for the flasher to show that the soak sees what it counts. As
# $STAND_IN says: it claims success without programming anything and leaves
# a file open (false-success), never ends (hang), or dies by a signal (crash).
case "$STAND_IN" in
hang) exec sleep 60 ;;
crash) kill -SEGV $$ ;;
*) exec 5<"$0"; exit 0 ;;
esac
