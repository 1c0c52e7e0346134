// The scheduling engine in one include: schedule strings, the next due time and the parts
// that run schedules.
#pragma once

#include "scheduler/ChronSchedule.h"
#include "scheduler/IntervalMeter.h"
#include "scheduler/SchEventList.h"
#include "scheduler/Schedule.h"
#include "scheduler/ScheduleThread.h"
#include "scheduler/ScheduledEvent.h"
#include "scheduler/WorkerThread.h"
#include "scheduler/uSchedulerUtils.h"
